// The Set Keys dialog's capture fields: read-only edit controls that take the
// next key pressed while they have the focus, with Shift and Control, and
// show its name.  Each field works on its own slot of the EditKeySlot table.
#ifndef MIRELLE_KEY_CAPTURE_FIELD_H
#define MIRELLE_KEY_CAPTURE_FIELD_H

#include <windows.h>

#include "key_bindings.h"

// One slot per field, in KeyBindingSet order.  Filled afresh each time the
// dialog opens; the binding is a working copy that the dialog commits on OK.
struct EditKeySlot {
    WNDPROC previousProc;
    KeyBinding binding;
};

const int EditKeySlotCount = 3;
extern EditKeySlot EditKeySlots[EditKeySlotCount];

// The window procedure installed on each capture field.
LRESULT CALLBACK EditKeySubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Loads binding number slotIndex of the KeyBindingSet into the slot,
// subclasses the field and shows the binding's name in it.
void InitKeyField(HWND dialog, int fieldId, int slotIndex);

#endif
