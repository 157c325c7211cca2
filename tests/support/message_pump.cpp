#include "tests/support/message_pump.h"

void PumpPendingMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpPendingMessages();
        if (condition()) {
            return true;
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) {
            return condition();
        }
        // Wakes for any message, and at least every 20 ms for conditions
        // that another process or thread brings about.
        DWORD wait = milliseconds - elapsed;
        MsgWaitForMultipleObjects(0, NULL, FALSE, wait < 20 ? wait : 20, QS_ALLINPUT);
    }
}

void PumpMessagesFor(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntilSignalled(HANDLE handle, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        DWORD left = elapsed < milliseconds ? milliseconds - elapsed : 0;
        DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) {
            return true;
        }
        if (result != WAIT_OBJECT_0 + 1) {
            return false;
        }
        PumpPendingMessages();
    }
}
