// The system-wide keyboard hook that turns the bound keys into volume commands
// for the player, or into the standard volume keys when no player runs.
#ifndef MIRELLE_VOLUME_HOOK_H
#define MIRELLE_VOLUME_HOOK_H

#include <windows.h>

#include "key_bindings.h"

// The WH_KEYBOARD_LL procedure.  Returns 1 for a swallowed event, else what
// the next hook returns.
LRESULT CALLBACK VolumeHookProc(int nCode, WPARAM wParam, LPARAM lParam);

// The hook's decision for one key event, with its side effects (the post to
// the player or the injected volume key) already carried out.  TRUE means
// swallow.  VolumeHookProc is a thin wrapper around it.
BOOL HandleVolumeKeyEvent(BYTE vk, BOOL keyUp);

// The action whose binding is exactly (vk, held), trying Mute, Lower, Raise
// in that order; -1 when none is.
int MatchVolumeAction(const KeyBindingSet& bindings, BYTE vk, ModifierMask held);

// HeldModifiers after an event that matched no binding.
ModifierMask TrackModifiers(ModifierMask held, BYTE vk, BOOL keyUp);

// `held` without the modifiers that the system's key state reports as up:
// those were let go where the hook could not see it.  It only ever clears a
// bit; a modifier pressed out of sight counts from its next down event.
ModifierMask ForgetModifiersReleasedUnseen(ModifierMask held);

// Installs a hook for the whole desktop, on behalf of `module` (the
// program's own), in place of the one installed before, if any, and stores
// its handle; returns the handle.  On failure it returns null, with the
// reason in GetLastError, and the hook installed before stays in place.
HHOOK InstallVolumeHook(HINSTANCE module);

// Removes the installed hook, if any, and clears the handle.
void RemoveVolumeHook();

// Takes HeldModifiers from the system's own state of Shift and Control, for
// when the hook may have missed key events: after the system dropped it, or
// while the session was locked (the key-ups of Ctrl+Alt+Del go to the secure
// desktop).  A modifier recorded as held that is not would otherwise keep
// every binding without it from matching.
void ReadHeldModifiersFromKeyboard();

#endif
