#include "session_watch.h"

#include <wtsapi32.h>

#include "main_window_timers.h"

SessionWatchState SessionWatch = {};

namespace {

void TryToRegister(HWND window)
{
    SessionWatch.registered = WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION) != FALSE;
    if (SessionWatch.registered) {
        return;
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
        WTSUnRegisterSessionNotification(window);
        SessionWatch.registered = false;
    }
}
