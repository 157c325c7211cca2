#include "tests/support/message_pump.h"

void PumpPendingMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The waits keep time with GetTickCount64, which the program's code does not
// use: a test may steer the program's own clock (GetTickCount) anywhere, or
// stop it, and still wait.
namespace {

DWORD ElapsedSince(ULONGLONG start)
{
    ULONGLONG elapsed = GetTickCount64() - start;
    return elapsed < 0xFFFFFFFFull ? static_cast<DWORD>(elapsed) : 0xFFFFFFFFu;
}

} // namespace

bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds)
{
    ULONGLONG start = GetTickCount64();
    for (;;) {
        PumpPendingMessages();
        if (condition()) {
            return true;
        }
        DWORD elapsed = ElapsedSince(start);
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
    ULONGLONG start = GetTickCount64();
    for (;;) {
        DWORD elapsed = ElapsedSince(start);
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
