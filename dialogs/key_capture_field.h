// The Set Keys dialog's capture fields: read-only edit controls that take a
// key pressed while they have the focus, with Shift and Control, and show its
// name.  Each field works on its own slot of the EditKeySlot table.
#ifndef MIRELLE_KEY_CAPTURE_FIELD_H
#define MIRELLE_KEY_CAPTURE_FIELD_H

#include <windows.h>

#include "key_bindings.h"

// How a field takes keys.  A field reached from the keyboard leaves Tab,
// Escape and the dialog's other keys to the dialog until the user arms it;
// a clicked one takes every key until the focus leaves.
enum KeyFieldState {
    KeyFieldWaiting,        // Enter or Space arms it; no other key changes anything
    KeyFieldArmed,          // the next key combination becomes the binding, then it waits
    KeyFieldTakingModifier, // armed, and a Shift, Control or Alt went down: its key-up ends it
    KeyFieldCapturing       // clicked: each key replaces the binding until the focus leaves
};

// One slot per field, in KeyBindingSet order.  Filled afresh each time the
// dialog opens; the binding is a working copy that the dialog commits on OK.
struct EditKeySlot {
    WNDPROC previousProc;
    KeyBinding binding;
    KeyFieldState state;
};

const int EditKeySlotCount = 3;
extern EditKeySlot EditKeySlots[EditKeySlotCount];

// The window procedure installed on each capture field.
LRESULT CALLBACK EditKeySubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Loads binding number slotIndex of the KeyBindingSet into the slot,
// subclasses the field and shows the binding's name in it.
void InitKeyField(HWND dialog, int fieldId, int slotIndex);

// Arms a field that has the focus for one key combination, as Enter or Space
// in it would: the dialog hands a refused key back this way.
void ArmKeyField(HWND field);

#endif
