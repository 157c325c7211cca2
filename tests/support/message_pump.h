// Keeping this thread's messages flowing while a test waits: low-level hooks
// installed by this thread run only while it pumps, and so do the timers and
// raw input of its windows.
#ifndef MIRELLE_TESTS_MESSAGE_PUMP_H
#define MIRELLE_TESTS_MESSAGE_PUMP_H

#include <windows.h>

#include <functional>

// Dispatches every message waiting now, and returns.
void PumpPendingMessages();

// Pumps until condition() holds or `milliseconds` have passed; returns
// whether it holds.  The condition is checked after every batch of messages.
bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds = 5000);

// Pumps until the handle (a thread or process) is signalled, waking at once
// for either; returns whether it was signalled within `milliseconds`.
bool PumpUntilSignalled(HANDLE handle, DWORD milliseconds);

// Pumps for a fixed time: only for making sure that something does NOT
// happen, never for waiting until something does.
void PumpMessagesFor(DWORD milliseconds);

#endif
