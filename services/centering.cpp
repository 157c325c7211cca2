#include "centering.h"

namespace {

// Halves toward zero, as 32-bit division does, without the sum overflowing.
LONG Midpoint(LONG low, LONG high)
{
    return static_cast<LONG>((static_cast<LONGLONG>(low) + high) / 2);
}

// The work area (the screen without the taskbar) of the monitor the window is
// on, or nearest to.
bool GetOwnWorkArea(HWND window, RECT* area)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (monitor == NULL || !GetMonitorInfoA(monitor, &info)) {
        return false;
    }
    *area = info.rcWork;
    return true;
}

} // namespace

void CenterOverRect(HWND window, const RECT* rectangle)
{
    RECT own;
    if (!GetWindowRect(window, &own)) {
        return;
    }
    LONG x = Midpoint(rectangle->left, rectangle->right) - (own.right - own.left) / 2;
    LONG y = Midpoint(rectangle->top, rectangle->bottom) - (own.bottom - own.top) / 2;
    // Moving must not activate the window either: activation would raise it.
    SetWindowPos(window, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CenterOverWindow(HWND window, HWND other)
{
    // With nothing to centre over (no such window), the middle of the window's
    // own monitor is the least surprising place.
    RECT rectangle;
    bool found = other != NULL && GetWindowRect(other, &rectangle);
    if (!found && !GetOwnWorkArea(window, &rectangle)) {
        return;
    }
    CenterOverRect(window, &rectangle);
}

void CenterOverParent(HWND window)
{
    // GetParent yields the owner only for pop-ups; an owned overlapped window
    // is centred over its owner all the same.
    HWND parent = GetParent(window);
    if (parent == NULL) {
        parent = GetWindow(window, GW_OWNER);
    }
    CenterOverWindow(window, parent);
}
