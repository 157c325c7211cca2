// The main window's commands that open a dialog and wire its outcome into
// the rest of the program.
#ifndef MIRELLE_MAIN_WINDOW_COMMANDS_H
#define MIRELLE_MAIN_WINDOW_COMMANDS_H

#include <windows.h>

// Set Keys: the hook goes away while the dialog is open, comes back after
// it, whichever button ended it, and the status line is rebuilt.  Does
// nothing while the dialog is already open.
void RunSetKeysCommand(HWND mainWindow);

// About: the dialog, owned by the main window; the hook stays in place.
void RunAboutCommand(HWND mainWindow);

#endif
