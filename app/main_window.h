// The main window: a modeless dialog with the status line, the "Minimize to
// Notification Icon" check box and the Set Keys, About and Exit buttons.
// Destroying it ends the program.
#ifndef MIRELLE_MAIN_WINDOW_H
#define MIRELLE_MAIN_WINDOW_H

#include <windows.h>

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Loads the window's big and small icons at the sizes for dpi (0: the
// window's own scale) and destroys the ones they replace.
void UpdateWindowIcons(HWND window, UINT dpi);

// Rebuilds the status line from the current key bindings.
void UpdateStatusText(HWND window);

#endif
