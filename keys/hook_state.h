// Process-wide state of the volume hook.  Start-up fills PlayerClassName and
// installs the hook; the Set Keys command, resume, unlock and the watchdog
// remove and re-install it.  HeldModifiers is written by the hook procedure,
// and re-read from the keyboard when the hook comes back after the system may
// have taken it away.
#ifndef MIRELLE_HOOK_STATE_H
#define MIRELLE_HOOK_STATE_H

#include <windows.h>

#include "key_bindings.h"

const int PlayerClassNameCapacity = 256;

// The player's main window class (string 1), searched for on every bound key.
extern char PlayerClassName[PlayerClassNameCapacity];

// Shift and Control as seen through the hook, in the ModifierMask layout.  It
// survives removing and re-installing the hook and is never reset.
extern ModifierMask HeldModifiers;

// The installed hook; null while none is installed or the last install failed.
extern HHOOK VolumeHookHandle;

// The time stamp (the system's millisecond tick) of the latest event the hook
// procedure was called with.  The system removes a low-level hook it finds
// too slow without a word; the watchdog compares this with raw keyboard input
// to notice.
extern DWORD VolumeHookLastEventTime;

#endif
