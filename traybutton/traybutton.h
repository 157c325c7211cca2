// TrayButton: lets any unowned top-level window minimize to a notification
// icon.  Self-contained: it needs nothing but Win32, and this header is all
// of its public surface.
//
// With the mode on, the window has no taskbar button; a notification icon
// with the window's small icon and text stands in for it; Minimize hides the
// window and Restore shows it; a left click on the icon shows, raises or
// hides the window and a right click pops up its system menu.  The module
// takes itself apart when the window is destroyed.
//
// The icon is the module's own copy of the window's icon, made at the size
// the notification area draws on the main display, and made anew when the
// displays change.  Should the notification area not take the icon (at
// sign-in the taskbar can exist and still be too busy to answer), the module
// tries again every 2 seconds, and after a minute without success it shows
// the window, so that a window hidden behind its icon is never out of reach.
#ifndef TRAYBUTTON_H
#define TRAYBUTTON_H

#include <windows.h>

// The module's one timer on the attached window, which runs only while the
// icon could not be added.  Its WM_TIMER never reaches the window's own
// procedure: a client must give its own timers on that window other ids.
#define TRAYBUTTON_TIMER_ID 0x7C1E

#ifdef __cplusplus
extern "C" {
#endif

// Attaches the module to window.  showCommand points at the command the
// caller is about to pass to its first ShowWindow; with initialMode on, a
// minimizing command is replaced by SW_HIDE so the window starts as an icon
// only.  noOwner selects the tool-window variant instead of a hidden owner
// window.  Returns FALSE with ERROR_ALREADY_INITIALIZED when already
// attached, or ERROR_NOT_ENOUGH_MEMORY.
BOOL AttachTrayButton(HWND window, int* showCommand, BOOL initialMode, BOOL noOwner);

// Switches the mode on (non-zero) or off.  Returns FALSE with
// ERROR_INVALID_FUNCTION when the window is not attached.
BOOL SetTrayMinimize(HWND window, BOOL mode);

#ifdef __cplusplus
}
#endif

#endif
