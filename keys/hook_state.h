// Process-wide state of the volume hook.  Start-up fills PlayerClassName and
// installs the hook; the Set Keys command, resume and unlock remove and
// re-install it.  Only the hook procedure reads or writes HeldModifiers.
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

#endif
