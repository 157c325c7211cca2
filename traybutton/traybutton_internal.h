// Shared by the two halves of TrayButton: attachment and mode
// (traybutton.cpp) and what happens at the notification icon
// (tray_icon_interaction.cpp).  Not part of the public surface.
#ifndef TRAYBUTTON_INTERNAL_H
#define TRAYBUTTON_INTERNAL_H

#include <windows.h>
#include <shellapi.h>

// One name, three uses: the window property holding the record, the
// registered callback message of the icon, and the hidden owner's class.
#define TRAYBUTTON_NAME "TrayButton{7C1E52D0-93AB-4F6E-A2D4-0B8C5E19F3A7}"

// While the notification area does not take the icon: how often the module
// tries again, and after how long without success it shows the window.  A
// test build may make both shorter.
#ifndef TRAYBUTTON_RETRY_INTERVAL_MS
#define TRAYBUTTON_RETRY_INTERVAL_MS 2000
#endif
#ifndef TRAYBUTTON_GIVE_UP_MS
#define TRAYBUTTON_GIVE_UP_MS 60000
#endif

// Where the retry stands.
enum IconRetry {
    IconRetryOff,        // the icon is in place, or the mode is off: no timer
    IconRetryRunning,    // TRAYBUTTON_TIMER_ID runs
    IconRetryWindowShown // it still runs, and the window was shown at the bound
};

// Everything the module knows about one attached window.  Allocated from the
// process heap at attach, hung on the window under the TRAYBUTTON_NAME
// property and freed when the window is destroyed.
struct TrayButtonState {
    WNDPROC prevWndProc;
    UINT taskbarCreatedMessage; // 0 when it could not be registered: never matched
    UINT callbackMessage;
    int savedShowCmd;           // minimizing show command replaced at attach, 0 if none
    HWND ownerWindow;           // hidden owner; null selects the tool-window variant
    HICON ownedIcon;            // the icon's own copy; null: the window's icon is used
    BOOL trayMode;
    int iconRetry;              // an IconRetry
    DWORD iconRetryStart;       // GetTickCount() when adding the icon first failed
};

// Passed through EnumWindows by IsFrontWindow; lives on its stack.
struct FrontWindowSearch {
    HWND ownWindow;
    HWND foundWindow;
    RECT virtualScreen; // right == 0 until the first callback computes it
};

// traybutton.cpp
LRESULT CALLBACK TrayButtonSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Puts the icon in the notification area with NIM_ADD first (to switch the
// mode on) or NIM_MODIFY first (when a new taskbar or a display change may
// have kept it there), the other message when the first fails; while
// neither works, the retry timer runs.
void PlaceTrayIcon(HWND window, TrayButtonState* state, DWORD firstMessage);
void DeleteTrayIcon(HWND window);
// Zeroes data and fills in what identifies the window's icon: the first
// form's size for this build, the window and icon id 0.
void InitTrayIconData(NOTIFYICONDATAA* data, HWND window);

// tray_icon_image.cpp
// The window's small icon, or its big one when it has no small one.
HICON GetWindowIcon(HWND window);
// A new copy of the window's icon at the size of a small icon on the main
// display, which the caller destroys; null when none can be made.
HICON CopyIconForTray(HWND window);

// tray_icon_interaction.cpp
LRESULT HandleTrayIconMessage(HWND window, LPARAM mouseEvent);
void ShowTrayMenu(HWND window);
BOOL IsFrontWindow(HWND window);
BOOL CALLBACK FindFrontWindowProc(HWND candidate, LPARAM search);
void GetVirtualScreenRect(RECT* rectangle);
void UpdateSysMenuItems(HWND window, HMENU menu, const TrayButtonState* state);

#endif
