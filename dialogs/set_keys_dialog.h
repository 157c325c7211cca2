// The Set Keys dialog, in which the user picks the Mute, Lower and Raise keys.
#ifndef MIRELLE_SET_KEYS_DIALOG_H
#define MIRELLE_SET_KEYS_DIALOG_H

#include <windows.h>

#include "key_bindings.h"

// Runs the dialog, owned by owner, and returns how it ended: 1 after OK, with
// the chosen keys in the process-wide KeyBindingSet and saved (a failed save
// has been shown to the user), 2 after Cancel, with nothing changed.  Every
// key the user presses while it is open should reach its capture fields, so
// the caller takes the volume hook away first.
INT_PTR RunSetKeysDialog(HWND owner);

// Ends with 1 after OK (bindings replaced and saved) and 2 after Cancel.
INT_PTR CALLBACK SetKeysDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Whether the user accepts a captured binding: a key of a kind with a usual
// purpose is asked about; no key at all beeps.  On refusal the field gets the
// focus back with its text selected.
bool ConfirmKeyChoice(HWND dialog, KeyBinding binding, int fieldId);

#endif
