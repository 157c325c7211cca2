// The volume hook's life in the running program: installed at start-up,
// taken away while the Set Keys dialog is open, put back whenever the system
// may have dropped it, removed at exit.
#ifndef MIRELLE_VOLUME_HOOK_CONTROL_H
#define MIRELLE_VOLUME_HOOK_CONTROL_H

#include <windows.h>

// Whether a hook belongs installed now: from start-up to exit, except while
// the Set Keys dialog is open.  It may still be missing, when the system
// dropped it or refused it.
bool VolumeHookWanted();

// Start-up: installs the hook.  FALSE on failure, with the reason in
// GetLastError.
BOOL StartVolumeHook();

// Around the Set Keys dialog: the hook goes away so that the keys the user
// presses reach the capture fields, and comes back afterwards.  A hook that
// cannot come back is reported in the error box, owned by owner.
void SuspendVolumeHook();
void ResumeVolumeHook(HWND owner);

// A fresh hook in place of one the system may have dropped silently (after
// sleep, after a locked session, or when the watchdog saw keys it did not).
// Shift and Control are re-read from the keyboard, since the old hook may
// have missed their key-ups.  FALSE on failure, with the reason in
// GetLastError; the caller decides what to tell the user.
BOOL ReplaceVolumeHook();

// Exit: removes the hook, if one is installed.
void StopVolumeHook();

#endif
