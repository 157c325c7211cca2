// What the user meets at the notification icon: a left click shows, raises
// or hides the window, a right click pops up its system menu; and the system
// menu's items, whenever it opens, follow the module's idea of minimized.
#include "traybutton_internal.h"

namespace {

// lParam of WM_SYSCOMMAND for a command chosen through a system accelerator:
// horizontal position 0, vertical position -1.
const LPARAM AcceleratorCommandPosition = static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(0, 0xFFFF)));

// Toggles a window that is on top and raises one that is covered.
void ApplyLeftClick(HWND window)
{
    if (!IsWindowVisible(window)) {
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
    } else if (IsFrontWindow(window)) {
        // A disabled window, one with a modal dialog open for instance,
        // must not vanish behind the user's back.
        if (IsWindowEnabled(window)) {
            ShowWindow(window, SW_HIDE);
        }
    } else {
        SetForegroundWindow(window);
    }
}

// Hands the keyboard focus back to the notification area after a menu that
// was dismissed.
void ReturnFocusToTray(HWND window)
{
    NOTIFYICONDATAA data;
    InitTrayIconData(&data, window);
    Shell_NotifyIconA(NIM_SETFOCUS, &data);
}

UINT EnabledIf(bool condition)
{
    return condition ? MF_ENABLED : MF_GRAYED;
}

} // namespace

LRESULT HandleTrayIconMessage(HWND window, LPARAM mouseEvent)
{
    switch (mouseEvent) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ApplyLeftClick(window);
        break;
    case WM_RBUTTONDOWN:
        ShowTrayMenu(window);
        break;
    default:
        break;
    }
    return 0;
}

void ShowTrayMenu(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    UINT command = 0;
    if (menu != NULL) {
        // Position 0, and the high word marks the system menu.
        SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, 1));
        // Without this the menu would stay open when the user clicks elsewhere.
        SetForegroundWindow(window);
        POINT cursor = {};
        GetCursorPos(&cursor);
        command = static_cast<UINT>(
            TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, NULL));
    }
    if (command != 0) {
        // As if chosen from the window's own system menu.
        SendMessageA(window, WM_SYSCOMMAND, command, AcceleratorCommandPosition);
    } else {
        ReturnFocusToTray(window);
    }
    // The known remedy for a notification-icon menu that would otherwise
    // fail to open the next time: a harmless message after it.
    PostMessageA(window, WM_NULL, 0, 0);
}

BOOL IsFrontWindow(HWND window)
{
    FrontWindowSearch search = {};
    search.ownWindow = window;
    EnumWindows(FindFrontWindowProc, reinterpret_cast<LPARAM>(&search));
    return search.foundWindow != NULL && search.foundWindow == window;
}

// Windows the user cannot see do not cover anything, and topmost windows
// other than the attached one are looked through: they cover everything.
BOOL CALLBACK FindFrontWindowProc(HWND candidate, LPARAM parameter)
{
    FrontWindowSearch* search = reinterpret_cast<FrontWindowSearch*>(parameter);
    if (search->virtualScreen.right == 0) {
        GetVirtualScreenRect(&search->virtualScreen);
    }
    RECT bounds = {};
    GetWindowRect(candidate, &bounds);
    RECT overlap;
    if (!IsWindowVisible(candidate) || IsIconic(candidate) ||
        !IntersectRect(&overlap, &bounds, &search->virtualScreen)) {
        return TRUE;
    }
    if (candidate != search->ownWindow && (GetWindowLongA(candidate, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) {
        return TRUE;
    }
    search->foundWindow = candidate;
    return FALSE;
}

void GetVirtualScreenRect(RECT* rectangle)
{
    rectangle->right = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    rectangle->bottom = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (rectangle->right != 0 && rectangle->bottom != 0) {
        rectangle->left = GetSystemMetrics(SM_XVIRTUALSCREEN);
        rectangle->top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        rectangle->right += rectangle->left;
        rectangle->bottom += rectangle->top;
    } else {
        // A system without a virtual screen: the primary screen, at 0, 0.
        rectangle->right = GetSystemMetrics(SM_CXSCREEN);
        rectangle->bottom = GetSystemMetrics(SM_CYSCREEN);
    }
}

// In mode on a hidden window is the minimized one, even if it was maximized
// when it was hidden.
void UpdateSysMenuItems(HWND window, HMENU menu, const TrayButtonState* state)
{
    bool minimized = IsIconic(window) != FALSE || (state->trayMode && !IsWindowVisible(window));
    bool maximized = !minimized && IsZoomed(window);
    DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    bool hasMaximizeBox = (style & WS_MAXIMIZEBOX) != 0;
    bool hasMinimizeBox = (style & WS_MINIMIZEBOX) != 0;
    bool hasSizingFrame = (style & WS_THICKFRAME) != 0;

    UINT restore = EnabledIf(minimized || maximized);
    UINT move = EnabledIf(!minimized && !maximized);
    UINT size = EnabledIf(!minimized && !maximized && hasSizingFrame);
    UINT minimize = EnabledIf(!minimized && hasMinimizeBox);
    UINT maximize = EnabledIf(!maximized && hasMaximizeBox);

    EnableMenuItem(menu, SC_RESTORE, MF_BYCOMMAND | restore);
    EnableMenuItem(menu, SC_MOVE, MF_BYCOMMAND | move);
    EnableMenuItem(menu, SC_SIZE, MF_BYCOMMAND | size);
    EnableMenuItem(menu, SC_MINIMIZE, MF_BYCOMMAND | minimize);
    EnableMenuItem(menu, SC_MAXIMIZE, MF_BYCOMMAND | maximize);
    EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    SetMenuDefaultItem(menu, SC_CLOSE, FALSE);
}
