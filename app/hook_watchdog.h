// The watchdog for the volume hook.  The system removes a low-level hook that
// keeps it waiting too long (under heavy load, after resume, in a long modal
// loop) and tells nobody; the keys would then simply stop working.  Raw
// keyboard input reaches the main window whether or not the hook is alive, so
// a key that raw input reports and the hook never saw means the hook is gone,
// and a fresh one is put in its place.
#ifndef MIRELLE_HOOK_WATCHDOG_H
#define MIRELLE_HOOK_WATCHDOG_H

#include <windows.h>

// How long the hook gets to catch up with raw input before it counts as
// dropped, and how often at most the watchdog puts a new one in place: when
// the hook legitimately misses keys (an elevated window in front), the
// watchdog must not spin.
const UINT HookWatchdogDelay = 500;
const DWORD HookWatchdogMinimumInterval = 5000;

// A raw key's moment and the hook's own tick need not agree to the
// millisecond: a few ticks between them do not make a dropped hook.
const LONG HookWatchdogClockSlack = 100;

// The watchdog's state; written only by the functions below.
struct HookWatchdogState {
    bool listening;            // raw keyboard input is registered
    bool checkPending;         // the one-shot timer is armed
    DWORD latestRawKeyTime;    // the moment of the latest raw key event (see OnRawInput)
    bool hasRestored;          // lastRestoreTick means something
    DWORD lastRestoreTick;     // when the watchdog last put a hook in place
};
extern HookWatchdogState HookWatchdog;

// Asks for the keyboard's raw input, delivered to the window (the main
// window) also while it is not in front.  FALSE when the system refuses; the
// program then runs without the watchdog, as it would without raw input.
BOOL StartHookWatchdog(HWND window);
// Before the window goes: no more raw input, no check pending.
void StopHookWatchdog(HWND window);

// WM_INPUT: notes the key and, when a hook belongs installed and has not seen
// the key yet, arms the check.  The message still belongs to the default
// handling afterwards.
void OnRawInput(HWND window, HRAWINPUT input);

// The check's timer: re-installs the hook when it has seen nothing of the
// keys that raw input reported.
void OnHookWatchdogTimer(HWND window);

#endif
