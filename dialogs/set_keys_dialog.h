// The Set Keys dialog, in which the user picks the Mute, Lower and Raise keys.
#ifndef MIRELLE_SET_KEYS_DIALOG_H
#define MIRELLE_SET_KEYS_DIALOG_H

#include <windows.h>

#include "keys/key_bindings.h"

// The main window's Set Keys command: removes the volume hook, so that every
// key reaches the capture fields, runs the dialog, then installs the hook
// again and refreshes the status line, whichever button ended the dialog.
void RunSetKeysCommand(HWND mainWindow);

// Ends with 1 after OK (bindings replaced and saved) and 2 after Cancel.
INT_PTR CALLBACK SetKeysDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Whether the user accepts a captured binding: a key of a kind with a usual
// purpose is asked about; no key at all beeps.  On refusal the field gets the
// focus back with its text selected.
bool ConfirmKeyChoice(HWND dialog, KeyBinding binding, int fieldId);

// True while the dialog is open (the hook is not installed then).
bool IsSetKeysDialogOpen();

#endif
