// TrayButton attachment and mode: hangs a record on the window, subclasses
// it, takes the taskbar button away (hidden owner or tool-window style) while
// the mode is on, keeps the icon in the notification area (trying again while
// the shell does not take it), and takes itself apart when the window is
// destroyed.
#include "traybutton.h"
#include "traybutton_internal.h"

namespace {

// The first form of NOTIFYICONDATAA has room for 63 characters of tip.
const int FirstFormTipCapacity = 64;

TrayButtonState* GetTrayButtonState(HWND window)
{
    return static_cast<TrayButtonState*>(GetPropA(window, TRAYBUTTON_NAME));
}

bool IsMinimizingShowCommand(int command)
{
    switch (command) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        return true;
    default:
        return false;
    }
}

// An owned window gets no taskbar button, and an owner that is never shown
// has none either.
HWND CreateHiddenOwner(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = TRAYBUTTON_NAME;
    // The first attach of the process registers the class; later attempts
    // fail because it exists, which is what they need.
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, TRAYBUTTON_NAME, "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, instance, NULL);
}

// Undoes an attach that could not be completed.
BOOL AbandonAttach(TrayButtonState* state, DWORD error)
{
    if (state->ownerWindow != NULL) {
        DestroyWindow(state->ownerWindow);
    }
    HeapFree(GetProcessHeap(), 0, state);
    SetLastError(error);
    return FALSE;
}

DWORD LastErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

void SwitchOwner(HWND window, TrayButtonState* state, BOOL mode, BOOL visible)
{
    // The shell decides about the taskbar button when the window is shown,
    // so the owner changes while the window is hidden.
    if (visible) {
        ShowWindow(window, SW_HIDE);
    }
    SetWindowLongPtrA(window, GWLP_HWNDPARENT, mode ? reinterpret_cast<LONG_PTR>(state->ownerWindow) : 0);
    if (visible) {
        ShowWindow(window, SW_SHOW);
        // A start that asked for a minimized window may still have that
        // request pending, and the system applies it to the SW_SHOW above;
        // showing the window normal once more undoes it.
        if (state->savedShowCmd != 0) {
            ShowWindow(window, SW_SHOWNORMAL);
            state->savedShowCmd = 0;
        }
    }
}

void SwitchToolWindowStyle(HWND window, BOOL mode, BOOL visible)
{
    LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    LONG newExStyle = mode ? (exStyle | WS_EX_TOOLWINDOW) : (exStyle & ~static_cast<LONG>(WS_EX_TOOLWINDOW));
    RECT bounds = {};
    GetClientRect(window, &bounds);
    if (visible) {
        ShowWindow(window, SW_HIDE);
    }
    SetWindowLongA(window, GWL_EXSTYLE, newExStyle);
    if (visible) {
        ShowWindow(window, SW_SHOW);
    }
    // A tool window's caption is smaller: size the frame anew so that the
    // client area keeps its size.
    AdjustWindowRectEx(&bounds, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
    SetWindowPos(window, NULL, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOMOVE | SWP_NOZORDER);
}

// A copy made now, at the main display's present scale, replaces the last
// and goes to the notification area.  Nothing promises that the shell keeps
// copies of its own, so the last one goes only once the new one is there.
void ShowFreshTrayIcon(HWND window, TrayButtonState* state, DWORD firstMessage)
{
    HICON last = state->ownedIcon;
    state->ownedIcon = CopyIconForTray(window);
    PlaceTrayIcon(window, state, firstMessage);
    if (last != NULL) {
        DestroyIcon(last);
    }
}

void StartIconRetry(HWND window, TrayButtonState* state)
{
    if (state->iconRetry == IconRetryOff) {
        state->iconRetry = IconRetryRunning;
        state->iconRetryStart = GetTickCount();
        SetTimer(window, TRAYBUTTON_TIMER_ID, TRAYBUTTON_RETRY_INTERVAL_MS, NULL);
    }
}

void StopIconRetry(HWND window, TrayButtonState* state)
{
    if (state->iconRetry != IconRetryOff) {
        KillTimer(window, TRAYBUTTON_TIMER_ID);
        state->iconRetry = IconRetryOff;
    }
}

void RestoreFromTray(HWND window)
{
    if (!IsWindowVisible(window)) {
        ShowWindow(window, SW_SHOW);
    } else if (IsIconic(window)) {
        // Minimized while its icon was missing (below).
        ShowWindow(window, SW_RESTORE);
    } else if (IsZoomed(window)) {
        ShowWindow(window, SW_SHOWNORMAL);
    }
}

// A window of a program that runs elevated gets no message from programs of
// lesser rights unless it lets that message through; Explorer's
// "TaskbarCreated" broadcast would then never arrive, and after Explorer
// restarts a window hidden behind its icon could not be reached again.  The
// function is found at run time: systems before Windows 7 have neither it nor
// the filtering.
void LetTaskbarCreatedThrough(HWND window, UINT taskbarCreatedMessage)
{
    typedef BOOL(WINAPI * ChangeWindowMessageFilterExFunction)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    FARPROC function = user32 != NULL ? GetProcAddress(user32, "ChangeWindowMessageFilterEx") : NULL;
    if (function != NULL && taskbarCreatedMessage != 0) {
        // Through void (*)(), the compiler's "any function".
        reinterpret_cast<ChangeWindowMessageFilterExFunction>(reinterpret_cast<void (*)()>(function))(
            window, taskbarCreatedMessage, MSGFLT_ALLOW, NULL);
    }
}

// The module's own timer is not passed on; the window's timers are.
LRESULT OnTrayButtonTimer(HWND window, TrayButtonState* state, WPARAM wParam, LPARAM lParam)
{
    if (wParam != TRAYBUTTON_TIMER_ID) {
        return CallWindowProcA(state->prevWndProc, window, WM_TIMER, wParam, lParam);
    }
    if (state->iconRetry == IconRetryOff) {
        return 0;
    }
    PlaceTrayIcon(window, state, NIM_ADD);
    if (state->iconRetry == IconRetryRunning && GetTickCount() - state->iconRetryStart >= TRAYBUTTON_GIVE_UP_MS) {
        // Hidden behind an icon that is not there, the window could not be
        // reached at all.  The retries go on: the icon may still come.
        state->iconRetry = IconRetryWindowShown;
        if (!IsWindowVisible(window)) {
            ShowWindow(window, SW_SHOW);
        }
        if (IsIconic(window)) {
            ShowWindow(window, SW_RESTORE);
        }
    }
    return 0;
}

LRESULT OnTrayButtonDestroy(HWND window, TrayButtonState* state, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = state->prevWndProc;
    StopIconRetry(window, state);
    DeleteTrayIcon(window);
    RemovePropA(window, TRAYBUTTON_NAME);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    if (state->ownerWindow != NULL) {
        // Destroying an owner destroys what it owns: let go of it first.
        SetWindowLongPtrA(window, GWLP_HWNDPARENT, 0);
        DestroyWindow(state->ownerWindow);
    }
    if (state->ownedIcon != NULL) {
        DestroyIcon(state->ownedIcon);
    }
    HeapFree(GetProcessHeap(), 0, state);
    return CallWindowProcA(previous, window, WM_DESTROY, wParam, lParam);
}

LRESULT OnTrayButtonSysCommand(HWND window, TrayButtonState* state, WPARAM wParam, LPARAM lParam)
{
    if (state->trayMode) {
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
            // Hidden while the notification area has not taken the icon,
            // the window could not be reached again: it only minimizes then.
            if (state->iconRetry != IconRetryOff) {
                break;
            }
            ShowWindow(window, SW_HIDE);
            return 0;
        case SC_RESTORE:
            RestoreFromTray(window);
            return 0;
        default:
            break;
        }
    }
    return CallWindowProcA(state->prevWndProc, window, WM_SYSCOMMAND, wParam, lParam);
}

LRESULT OnTrayButtonInitMenuPopup(HWND window, TrayButtonState* state, WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(lParam) != 0) {
        UpdateSysMenuItems(window, reinterpret_cast<HMENU>(wParam), state);
    }
    return CallWindowProcA(state->prevWndProc, window, WM_INITMENUPOPUP, wParam, lParam);
}

// The two registered messages.  An id that could not be registered is 0 and
// must not turn WM_NULL into one of them.
LRESULT OnTrayButtonOtherMessage(HWND window, TrayButtonState* state, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (state->callbackMessage != 0 && message == state->callbackMessage) {
        return HandleTrayIconMessage(window, lParam);
    }
    if (state->taskbarCreatedMessage != 0 && message == state->taskbarCreatedMessage && state->trayMode) {
        // A new taskbar starts without icons.  The taskbar also sends this
        // when the main display's scale changes, and then it still holds the
        // icon, at the old size.  A retry that runs keeps the time of the
        // first refusal: an Explorer that restarted more often than the bound
        // would otherwise keep the window hidden for ever.
        ShowFreshTrayIcon(window, state, NIM_MODIFY);
    }
    return CallWindowProcA(state->prevWndProc, window, message, wParam, lParam);
}

// The main display may have another scale now, and the icon another size.
LRESULT OnTrayButtonDisplayChange(HWND window, TrayButtonState* state, WPARAM wParam, LPARAM lParam)
{
    if (state->trayMode) {
        ShowFreshTrayIcon(window, state, NIM_MODIFY);
    }
    return CallWindowProcA(state->prevWndProc, window, WM_DISPLAYCHANGE, wParam, lParam);
}

} // namespace

void InitTrayIconData(NOTIFYICONDATAA* data, HWND window)
{
    ZeroMemory(data, sizeof(*data));
    // The first form, in this build's layout: 88 bytes on 32-bit, more on
    // 64-bit, where the shell rejects 88.
    data->cbSize = NOTIFYICONDATAA_V1_SIZE;
    data->hWnd = window;
    data->uID = 0;
}

void PlaceTrayIcon(HWND window, TrayButtonState* state, DWORD firstMessage)
{
    NOTIFYICONDATAA data;
    InitTrayIconData(&data, window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = state->callbackMessage;
    // Without a copy of its own the module hands over the window's icon,
    // which stays the window's.
    data.hIcon = state->ownedIcon != NULL ? state->ownedIcon : GetWindowIcon(window);
    GetWindowTextA(window, data.szTip, FirstFormTipCapacity);
    // An icon that is there cannot be added, and one that is not cannot be
    // changed.  A shell too busy to confirm an icon in time may still take it
    // later, so a retry also finds an icon that is there after all.
    DWORD secondMessage = firstMessage == NIM_ADD ? NIM_MODIFY : NIM_ADD;
    if (Shell_NotifyIconA(firstMessage, &data) || Shell_NotifyIconA(secondMessage, &data)) {
        StopIconRetry(window, state);
    } else {
        StartIconRetry(window, state);
    }
}

void DeleteTrayIcon(HWND window)
{
    NOTIFYICONDATAA data;
    InitTrayIconData(&data, window);
    Shell_NotifyIconA(NIM_DELETE, &data);
}

LRESULT CALLBACK TrayButtonSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TrayButtonState* state = GetTrayButtonState(window);
    if (state == NULL || state->prevWndProc == NULL) {
        // Only if someone took the property away: the procedure to forward
        // to is lost with it, so the window carries on as a plain one.
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_DESTROY:
        return OnTrayButtonDestroy(window, state, wParam, lParam);
    case WM_TIMER:
        return OnTrayButtonTimer(window, state, wParam, lParam);
    case WM_DISPLAYCHANGE:
        return OnTrayButtonDisplayChange(window, state, wParam, lParam);
    case WM_SYSCOMMAND:
        return OnTrayButtonSysCommand(window, state, wParam, lParam);
    case WM_INITMENUPOPUP:
        return OnTrayButtonInitMenuPopup(window, state, wParam, lParam);
    default:
        return OnTrayButtonOtherMessage(window, state, message, wParam, lParam);
    }
}

BOOL AttachTrayButton(HWND window, int* showCommand, BOOL initialMode, BOOL noOwner)
{
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) == TrayButtonSubclass ||
        GetTrayButtonState(window) != NULL) {
        SetLastError(ERROR_ALREADY_INITIALIZED);
        return FALSE;
    }
    TrayButtonState* state =
        static_cast<TrayButtonState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(TrayButtonState)));
    if (state == NULL) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    // Without its callback message the icon could never bring a hidden
    // window back, so the window is better left as it is.
    state->callbackMessage = RegisterWindowMessageA(TRAYBUTTON_NAME);
    if (state->callbackMessage == 0) {
        return AbandonAttach(state, LastErrorOr(ERROR_NOT_ENOUGH_MEMORY));
    }
    // Without this one only the icon's return after a taskbar restart is lost.
    state->taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    if (!noOwner) {
        // Failing that, the window gets the tool-window variant.
        state->ownerWindow = CreateHiddenOwner(instance);
    }
    // The record goes on the window before the procedure that reads it.
    if (!SetPropA(window, TRAYBUTTON_NAME, state)) {
        return AbandonAttach(state, LastErrorOr(ERROR_INVALID_WINDOW_HANDLE));
    }
    state->prevWndProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    LONG_PTR previous = SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TrayButtonSubclass));
    if (previous == 0) {
        // Every window has a procedure, so this is a window we may not
        // subclass, such as one of another process.
        DWORD error = LastErrorOr(ERROR_ACCESS_DENIED);
        RemovePropA(window, TRAYBUTTON_NAME);
        return AbandonAttach(state, error);
    }
    state->prevWndProc = reinterpret_cast<WNDPROC>(previous);
    LetTaskbarCreatedThrough(window, state->taskbarCreatedMessage);

    SetTrayMinimize(window, initialMode);
    if (initialMode && showCommand != NULL && IsMinimizingShowCommand(*showCommand)) {
        // The window starts as the icon only.
        state->savedShowCmd = *showCommand;
        *showCommand = SW_HIDE;
    }
    return TRUE;
}

BOOL SetTrayMinimize(HWND window, BOOL mode)
{
    TrayButtonState* state = GetTrayButtonState(window);
    if (state == NULL) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    state->trayMode = mode;
    BOOL visible = IsWindowVisible(window);
    if (state->ownerWindow != NULL) {
        SwitchOwner(window, state, mode, visible);
    } else {
        SwitchToolWindowStyle(window, mode, visible);
    }
    if (mode) {
        ShowFreshTrayIcon(window, state, NIM_ADD);
    } else {
        StopIconRetry(window, state);
        DeleteTrayIcon(window);
    }
    return TRUE;
}
