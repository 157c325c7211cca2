// Hearing of the session being unlocked, after which the system may have
// dropped the volume hook.  The system tells only windows that register for
// it, and registering fails while the session's terminal services are not
// up yet: exactly the case of a program started from the Startup folder at
// logon.  So a failed registration is tried again on a timer until it works.
#ifndef MIRELLE_SESSION_WATCH_H
#define MIRELLE_SESSION_WATCH_H

#include <windows.h>

// The retries come every second at first, then less and less often, but
// never more than half a minute apart.
const UINT SessionWatchFirstRetry = 1000;
const UINT SessionWatchLongestRetry = 30000;

// The registration's state; written only by the functions below.
struct SessionWatchState {
    bool registered;
    UINT nextRetry;    // delay of the retry timer while not registered
    HMODULE library;   // wtsapi32.dll from System32, held while registered
};
extern SessionWatchState SessionWatch;

// Registers the window (the main window) for its session's notifications,
// or arms the retry timer.
void StartSessionWatch(HWND window);
// The retry timer.
void OnSessionWatchTimer(HWND window);
// Before the window goes.
void StopSessionWatch(HWND window);

#endif
