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
// survives removing and re-installing the hook and is never reset; a bound
// key first drops from it whatever the system says is no longer held.
extern ModifierMask HeldModifiers;

// The installed hook; null while none is installed.
extern HHOOK VolumeHookHandle;

// What the watchdog needs to tell a live hook from one the system removed
// without a word: the system's tick when the installed hook went in, and
// when the hook procedure last ran (the install tick until its first event).
// Both are ticks of the program's own clock, never an event's time stamp,
// which the program that sent the event may have made up.
extern DWORD VolumeHookInstallTick;
extern DWORD VolumeHookLastCallTick;

#endif
