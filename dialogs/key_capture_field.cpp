#include "key_capture_field.h"

#include "app_state.h"
#include "key_binding_set.h"

EditKeySlot EditKeySlots[EditKeySlotCount] = {};

namespace {

const int KeyNameCapacity = 64;

void ShowBinding(HWND field, KeyBinding binding)
{
    char name[KeyNameCapacity];
    FormatKeyName(ModuleInstance, binding, name, KeyNameCapacity);
    SetWindowTextA(field, name);
}

// A field whose slot index has been overwritten cannot be trusted with
// anything; the program says so and ends.  The box comes once per field, and
// the field is marked as reported in a property of its own, apart from the
// index, whatever garbage that holds: while the box is up, its modal loop
// keeps sending the field messages, and each of them would otherwise raise
// another box.  Nor do those messages post the quit message while any such
// box is up: a paint or a key already queued for a field would end the box's
// loop before the box had shown, or a second damaged field's box, answered
// first, would end the first one unseen.  The quit follows the last answer.
const char DamageReportedProperty[] = "_EditKeySubclass_Damage_Reported_";
int DamageBoxesShowing = 0;

LRESULT OnDamagedField(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCDESTROY) {
        RemovePropA(window, DamageReportedProperty);
    } else if (GetPropA(window, DamageReportedProperty) == NULL) {
        SetPropA(window, DamageReportedProperty, reinterpret_cast<HANDLE>(1));
        ++DamageBoxesShowing;
        MessageBoxA(window, "Damaged EditKeySubclass.  Fooey.", "Internal Error", MB_ICONERROR);
        --DamageBoxesShowing;
    }
    if (DamageBoxesShowing == 0) {
        PostQuitMessage(1);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnGetDlgCode(EditKeySlot* slot, HWND window, WPARAM wParam, LPARAM lParam)
{
    // Every key, Tab, Enter and Escape included, goes to the field rather
    // than to dialog navigation; characters are not wanted at all.
    LRESULT code = CallWindowProcA(slot->previousProc, window, WM_GETDLGCODE, wParam, lParam);
    return (code & ~static_cast<LRESULT>(DLGC_WANTCHARS)) | DLGC_WANTTAB | DLGC_WANTALLKEYS;
}

LRESULT OnKeyDown(EditKeySlot* slot, HWND window, WPARAM wParam)
{
    BYTE vk = static_cast<BYTE>(wParam & 0xFF);
    slot->binding.vk = vk;
    slot->binding.modifiers = 0;
    // A modifier pressed by itself is the key, not its own modifier.  Alt has
    // no bit: Alt with a key records the key alone.
    if (vk != VK_SHIFT && GetKeyState(VK_SHIFT) < 0) {
        slot->binding.modifiers |= ModifierShift;
    }
    if (vk != VK_CONTROL && GetKeyState(VK_CONTROL) < 0) {
        slot->binding.modifiers |= ModifierControl;
    }
    ShowBinding(window, slot->binding);
    SendMessageA(window, EM_SETSEL, 0, -1);
    return 0;
}

} // namespace

LRESULT CALLBACK EditKeySubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ULONG_PTR index = static_cast<ULONG_PTR>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (index >= static_cast<ULONG_PTR>(EditKeySlotCount)) {
        return OnDamagedField(window, message, wParam, lParam);
    }
    EditKeySlot* slot = &EditKeySlots[index];
    switch (message) {
    case WM_GETDLGCODE:
        return OnGetDlgCode(slot, window, wParam, lParam);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return OnKeyDown(slot, window, wParam);
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYUP:
        // Typing never edits the field.
        return 0;
    default:
        return CallWindowProcA(slot->previousProc, window, message, wParam, lParam);
    }
}

void InitKeyField(HWND dialog, int fieldId, int slotIndex)
{
    HWND field = GetDlgItem(dialog, fieldId);
    EditKeySlot* slot = &EditKeySlots[slotIndex];
    slot->binding = KeyBindings.binding[slotIndex];
    // The slot index goes in first: the subclass looks its slot up from it on
    // the very first message.
    SetWindowLongPtrA(field, GWLP_USERDATA, slotIndex);
    slot->previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditKeySubclass)));
    ShowBinding(field, slot->binding);
}
