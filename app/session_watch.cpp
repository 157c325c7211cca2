#include "session_watch.h"

#include <wtsapi32.h>

#include "main_window_timers.h"
#include "system_library.h"

SessionWatchState SessionWatch = {};

namespace {

typedef BOOL(WINAPI* RegisterFunction)(HWND, DWORD);
typedef BOOL(WINAPI* UnRegisterFunction)(HWND);

// wtsapi32.dll is loaded for a try and kept while the window is registered.
// A registration function that cannot be found fails like the call would.
void TryToRegister(HWND window)
{
    HMODULE library = LoadSystemLibrary("wtsapi32.dll");
    RegisterFunction registerWindow = FindFunction<RegisterFunction>(library, "WTSRegisterSessionNotification");
    SessionWatch.registered =
        registerWindow != NULL && registerWindow(window, NOTIFY_FOR_THIS_SESSION) != FALSE;
    if (SessionWatch.registered) {
        SessionWatch.library = library;
        return;
    }
    if (library != NULL) {
        FreeLibrary(library);
    }
    SetTimer(window, SessionWatchTimer, SessionWatch.nextRetry, NULL);
    UINT next = SessionWatch.nextRetry * 2;
    SessionWatch.nextRetry = next < SessionWatchLongestRetry ? next : SessionWatchLongestRetry;
}

} // namespace

void StartSessionWatch(HWND window)
{
    SessionWatch.registered = false;
    SessionWatch.nextRetry = SessionWatchFirstRetry;
    TryToRegister(window);
}

void OnSessionWatchTimer(HWND window)
{
    KillTimer(window, SessionWatchTimer);
    if (!SessionWatch.registered) {
        TryToRegister(window);
    }
}

void StopSessionWatch(HWND window)
{
    KillTimer(window, SessionWatchTimer);
    if (SessionWatch.registered) {
        UnRegisterFunction unregisterWindow =
            FindFunction<UnRegisterFunction>(SessionWatch.library, "WTSUnRegisterSessionNotification");
        if (unregisterWindow != NULL) {
            unregisterWindow(window);
        }
        FreeLibrary(SessionWatch.library);
        SessionWatch.library = NULL;
        SessionWatch.registered = false;
    }
}
