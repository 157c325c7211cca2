// The volume hook's life in the running program: installed at start-up,
// taken away while the Set Keys dialog is open, put back whenever the system
// may have dropped it, removed at exit.
#ifndef MIRELLE_VOLUME_HOOK_CONTROL_H
#define MIRELLE_VOLUME_HOOK_CONTROL_H

#include <windows.h>

// Whether a hook belongs installed now: from the first successful install at
// start-up to exit, except while the Set Keys dialog is open.  It may still
// be missing, when the system dropped it or refused a new one.
bool VolumeHookWanted();

// Start-up: installs the hook.  FALSE on failure, with the reason in
// GetLastError; the hook then never counts as wanted, so nothing installs
// one while start-up tells the user and ends.
BOOL StartVolumeHook();

// Around the Set Keys dialog: the hook goes away so that the keys the user
// presses reach the capture fields, and comes back afterwards.  Each does
// nothing outside its own moment (before start-up installed the hook, or a
// resume without a suspend).
void SuspendVolumeHook();
void ResumeVolumeHook(HWND owner);

// A fresh hook in place of one the system may have dropped silently (after
// sleep, after a locked session, or when the watchdog saw keys it did not),
// while a hook is wanted.  The new hook goes in before the old one comes out,
// and Shift and Control are re-read from the keyboard, since the old hook
// may have missed their key-ups.  FALSE when no new hook went in.
BOOL ReplaceVolumeHook(HWND owner);

// Exit: removes the hook, if one is installed.
void StopVolumeHook();

#endif
