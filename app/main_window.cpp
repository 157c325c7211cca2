#include "main_window.h"

#include <wtsapi32.h>

#include "app_state.h"
#include "error_box.h"
#include "hook_watchdog.h"
#include "key_binding_set.h"
#include "main_window_commands.h"
#include "main_window_timers.h"
#include "resource.h"
#include "session_watch.h"
#include "settings_store.h"
#include "system_library.h"
#include "tray_minimize_flag.h"
#include "traybutton.h"
#include "volume_hook_control.h"

namespace {

// Buffer sizes, in characters with the terminating zero.  String 270 has 118
// characters and a key name at most 30, so the status line always fits.
const int StatusCapacity = 512;
const int StatusFormatCapacity = 128;
const int KeyNameCapacity = 64;

typedef UINT(WINAPI* GetDpiForWindowFunction)(HWND window);
typedef int(WINAPI* GetSystemMetricsForDpiFunction)(int index, UINT dpi);

// Windows 10 1607 and later know each window's scale; per monitor, it can
// differ from the scale the program started with.  Elsewhere there is one
// scale, the system's.  user32 is always loaded, so no load is needed.
UINT WindowDpi(HWND window)
{
    GetDpiForWindowFunction getDpi = FindFunction<GetDpiForWindowFunction>(GetModuleHandleA("user32.dll"),
                                                                           "GetDpiForWindow");
    return getDpi != NULL ? getDpi(window) : 0;
}

int MetricForDpi(int index, UINT dpi)
{
    GetSystemMetricsForDpiFunction metric = FindFunction<GetSystemMetricsForDpiFunction>(
        GetModuleHandleA("user32.dll"), "GetSystemMetricsForDpi");
    if (dpi != 0 && metric != NULL) {
        int value = metric(index, dpi);
        if (value > 0) {
            return value;
        }
    }
    return GetSystemMetrics(index);
}

// Replaces one of the window's icons with one loaded at the given metrics'
// sizes for dpi, and destroys the one it replaces.  The icon has an image
// drawn for the sizes of every common scale, so none is stretched.
void SetWindowIcon(HWND window, WPARAM which, int widthIndex, int heightIndex, UINT dpi)
{
    HANDLE icon = LoadImageA(ModuleInstance, MAKEINTRESOURCEA(IDI_MIRELLE), IMAGE_ICON, MetricForDpi(widthIndex, dpi),
                             MetricForDpi(heightIndex, dpi), LR_DEFAULTCOLOR);
    HICON previous = reinterpret_cast<HICON>(SendMessageA(window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon)));
    if (previous != NULL && previous != icon) {
        DestroyIcon(previous);
    }
}

BOOL OnInitDialog(HWND window)
{
    UpdateWindowIcons(window, 0);
    UpdateStatusText(window);
    CheckDlgButton(window, IDC_MAIN_TRAY_MINIMIZE, TrayMinimize ? BST_CHECKED : BST_UNCHECKED);
    // Unlocking the session is one of the moments after which the system may
    // have dropped the keyboard hook; the window hears of it only when asked.
    StartSessionWatch(window);
    StartHookWatchdog(window);
    // TRUE: the dialog manager puts the focus on the first tab stop, Exit.
    return TRUE;
}

void OnTrayMinimizeClicked(HWND window)
{
    // An auto check box: the system has already toggled it.
    TrayMinimize = IsDlgButtonChecked(window, IDC_MAIN_TRAY_MINIMIZE) == BST_CHECKED ? 1 : 0;
    SetTrayMinimize(window, TrayMinimize);
    ReportErrorIfAny(window, SaveTrayMinimize(), IDS_SAVE_TRAY_ERROR, IDS_ERROR_CAPTION);
}

void OnCommand(HWND window, int id)
{
    switch (id) {
    case IDOK:      // Exit, or Enter on the default button
    case IDCANCEL:  // Escape, or the Close command
        DestroyWindow(window);
        break;
    case IDC_MAIN_SET_KEYS:
        RunSetKeysCommand(window);
        break;
    case IDC_MAIN_ABOUT:
        RunAboutCommand(window);
        break;
    case IDC_MAIN_TRAY_MINIMIZE:
        OnTrayMinimizeClicked(window);
        break;
    default:
        break;
    }
}

// After sleep and after the session was locked, the system may have removed
// the low-level hook without telling anyone (it does so when a hook is slow,
// and resume makes everything slow); the keys would then simply stop
// working.  A fresh hook costs nothing, so it is put back every time, unless
// no hook belongs installed (Set Keys is open and puts it back when it
// closes, or start-up is still telling the user that none could be had).
void OnPowerBroadcast(HWND window, WPARAM event)
{
    if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) {
        ReplaceVolumeHook(window);
    }
}

void OnSessionChange(HWND window, WPARAM event)
{
    if (event == WTS_SESSION_UNLOCK) {
        ReplaceVolumeHook(window);
    }
}

// TRUE for the window's own timers; any other is not this window's business.
bool OnTimer(HWND window, UINT_PTR id)
{
    switch (id) {
    case HookWatchdogTimer:
        OnHookWatchdogTimer(window);
        return true;
    case SessionWatchTimer:
        OnSessionWatchTimer(window);
        return true;
    default:
        return false;
    }
}

// The window now lies on a monitor of another scale (or that monitor's scale
// changed).  The dialog manager rescales the dialog, its fonts and controls,
// but not the icons: they are loaded anew at the new scale's sizes.
void OnDpiChanged(HWND window, WPARAM wParam)
{
    UpdateWindowIcons(window, LOWORD(wParam));
}

// The icons are the window's own (loaded without LR_SHARED), and a window
// does not destroy its icons itself.
void DestroyWindowIcon(HWND window, WPARAM which)
{
    HICON icon = reinterpret_cast<HICON>(SendMessageA(window, WM_SETICON, which, 0));
    if (icon != NULL) {
        DestroyIcon(icon);
    }
}

void OnDestroy(HWND window)
{
    DestroyWindowIcon(window, ICON_BIG);
    DestroyWindowIcon(window, ICON_SMALL);
    StopHookWatchdog(window);
    StopSessionWatch(window);
    MainWindowHandle = NULL;
    PostQuitMessage(0);
}

BOOL Handled(HWND window, LONG_PTR result = 0)
{
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}

} // namespace

void UpdateWindowIcons(HWND window, UINT dpi)
{
    if (dpi == 0) {
        dpi = WindowDpi(window);
    }
    SetWindowIcon(window, ICON_BIG, SM_CXICON, SM_CYICON, dpi);
    SetWindowIcon(window, ICON_SMALL, SM_CXSMICON, SM_CYSMICON, dpi);
}

void UpdateStatusText(HWND window)
{
    char format[StatusFormatCapacity];
    if (LoadStringA(ModuleInstance, IDS_STATUS_FORMAT, format, StatusFormatCapacity) <= 0) {
        format[0] = '\0';
    }
    char names[VolumeActionCount][KeyNameCapacity];
    for (int i = 0; i < VolumeActionCount; ++i) {
        FormatKeyName(ModuleInstance, KeyBindings.binding[i], names[i], KeyNameCapacity);
    }
    // wsprintfA stops at 1024 characters; the format and names are bounded
    // so that the result stays well inside StatusCapacity.
    char status[StatusCapacity];
    wsprintfA(status, format, names[0], names[1], names[2]);
    SetWindowTextA(GetDlgItem(window, IDC_MAIN_STATUS), status);
}

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return Handled(window);
    case WM_POWERBROADCAST:
        OnPowerBroadcast(window, wParam);
        return Handled(window, TRUE);
    case WM_WTSSESSION_CHANGE:
        OnSessionChange(window, wParam);
        return Handled(window);
    case WM_INPUT:
        // Noted by the watchdog, then left to the default handling, which
        // frees what the system keeps for the message.
        OnRawInput(window, reinterpret_cast<HRAWINPUT>(lParam));
        return FALSE;
    case WM_TIMER:
        return OnTimer(window, wParam) ? Handled(window) : FALSE;
    case WM_DPICHANGED:
        // FALSE: the dialog manager then rescales the rest of the window.
        OnDpiChanged(window, wParam);
        return FALSE;
    case WM_DESTROY:
        OnDestroy(window);
        return Handled(window);
    default:
        return FALSE;
    }
}
