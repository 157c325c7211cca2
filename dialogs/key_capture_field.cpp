#include "key_capture_field.h"

#include "app_state.h"
#include "key_binding_set.h"
#include "resource.h"

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

bool IsModifierKey(BYTE vk)
{
    return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU;
}

// Bit 30 of a key message: the key was already down, so this is its repeat.
bool IsRepeat(LPARAM lParam)
{
    return (lParam & 0x40000000) != 0;
}

BYTE KeyOf(WPARAM wParam)
{
    return static_cast<BYTE>(wParam & 0xFF);
}

// Enter and Space arm a waiting field.
bool ArmsField(UINT message, WPARAM wParam)
{
    return message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_SPACE);
}

// The keys a waiting field asks the dialog for: Enter and Space, which arm
// it, and the repeats of its own key while that is held, which would
// otherwise act on the dialog (an Escape just recorded and held a moment too
// long would cancel it).
bool WaitingFieldWants(const EditKeySlot* slot, const MSG* msg)
{
    if (msg == NULL || msg->message != WM_KEYDOWN) {
        return false;
    }
    return ArmsField(msg->message, msg->wParam) || (IsRepeat(msg->lParam) && KeyOf(msg->wParam) == slot->binding.vk);
}

// An armed field says so in its text, which a screen reader reads out as
// the field's new value.
void Arm(EditKeySlot* slot, HWND window)
{
    slot->state = KeyFieldArmed;
    char prompt[KeyNameCapacity];
    if (LoadStringA(ModuleInstance, IDS_SET_KEYS_PROMPT, prompt, KeyNameCapacity) <= 0) {
        prompt[0] = '\0';
    }
    SetWindowTextA(window, prompt);
    SendMessageA(window, EM_SETSEL, 0, -1);
}

LRESULT OnGetDlgCode(EditKeySlot* slot, HWND window, WPARAM wParam, LPARAM lParam)
{
    // Characters are never wanted.  A waiting field leaves Tab, Escape and
    // Enter's default button to the dialog, Enter and Space on itself aside;
    // any other field takes every key.
    LRESULT code = CallWindowProcA(slot->previousProc, window, WM_GETDLGCODE, wParam, lParam);
    code &= ~static_cast<LRESULT>(DLGC_WANTCHARS);
    if (slot->state == KeyFieldWaiting) {
        return WaitingFieldWants(slot, reinterpret_cast<const MSG*>(lParam)) ? code | DLGC_WANTMESSAGE : code;
    }
    return code | DLGC_WANTTAB | DLGC_WANTALLKEYS;
}

void Capture(EditKeySlot* slot, HWND window, BYTE vk)
{
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
}

LRESULT OnKeyDown(EditKeySlot* slot, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BYTE vk = KeyOf(wParam);
    switch (slot->state) {
    case KeyFieldWaiting:
        // A key held since before does nothing here.
        if (IsRepeat(lParam)) {
            return 0;
        }
        if (ArmsField(message, wParam)) {
            Arm(slot, window);
            return 0;
        }
        // Alt+F4 and the other system keys work as in any field.
        if (message == WM_SYSKEYDOWN) {
            return CallWindowProcA(slot->previousProc, window, message, wParam, lParam);
        }
        return 0;
    case KeyFieldArmed:
    case KeyFieldTakingModifier:
        // The key that armed the field, or a modifier held since before,
        // repeating is no new combination.  A modifier alone waits for its
        // key-up: it may still be joined by a key.
        if (!IsRepeat(lParam)) {
            Capture(slot, window, vk);
            slot->state = IsModifierKey(vk) ? KeyFieldTakingModifier : KeyFieldWaiting;
        }
        return 0;
    case KeyFieldCapturing:
    default:
        Capture(slot, window, vk);
        return 0;
    }
}

// Key-ups never reach the edit control; the one that matters is that of a
// modifier the armed field took alone, which makes it the combination.
LRESULT OnKeyUp(EditKeySlot* slot, WPARAM wParam)
{
    if (slot->state == KeyFieldTakingModifier && IsModifierKey(KeyOf(wParam))) {
        slot->state = KeyFieldWaiting;
    }
    return 0;
}

// An armed field that is left, or clicked, before it took a key shows its
// binding again in place of the prompt.
void Disarm(EditKeySlot* slot, HWND window, KeyFieldState next)
{
    if (slot->state == KeyFieldArmed || slot->state == KeyFieldTakingModifier) {
        ShowBinding(window, slot->binding);
    }
    slot->state = next;
}

// Leaving a field ends whatever it was doing.
LRESULT OnKillFocus(EditKeySlot* slot, HWND window, WPARAM wParam, LPARAM lParam)
{
    Disarm(slot, window, KeyFieldWaiting);
    return CallWindowProcA(slot->previousProc, window, WM_KILLFOCUS, wParam, lParam);
}

// A clicked field takes every key until the focus leaves.  The state is set
// before the edit control takes the focus on this very click.
LRESULT OnButtonDown(EditKeySlot* slot, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Disarm(slot, window, KeyFieldCapturing);
    return CallWindowProcA(slot->previousProc, window, message, wParam, lParam);
}

EditKeySlot* SlotOf(HWND window)
{
    ULONG_PTR index = static_cast<ULONG_PTR>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return index < static_cast<ULONG_PTR>(EditKeySlotCount) ? &EditKeySlots[index] : NULL;
}

} // namespace

LRESULT CALLBACK EditKeySubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    EditKeySlot* slot = SlotOf(window);
    if (slot == NULL) {
        return OnDamagedField(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_GETDLGCODE:
        return OnGetDlgCode(slot, window, wParam, lParam);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return OnKeyDown(slot, window, message, wParam, lParam);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        return OnKeyUp(slot, wParam);
    case WM_CHAR:
        // Typing never edits the field.
        return 0;
    case WM_KILLFOCUS:
        return OnKillFocus(slot, window, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
        return OnButtonDown(slot, window, message, wParam, lParam);
    default:
        return CallWindowProcA(slot->previousProc, window, message, wParam, lParam);
    }
}

void InitKeyField(HWND dialog, int fieldId, int slotIndex)
{
    HWND field = GetDlgItem(dialog, fieldId);
    EditKeySlot* slot = &EditKeySlots[slotIndex];
    slot->binding = KeyBindings.binding[slotIndex];
    slot->state = KeyFieldWaiting;
    // The slot index goes in first: the subclass looks its slot up from it on
    // the very first message.
    SetWindowLongPtrA(field, GWLP_USERDATA, slotIndex);
    slot->previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditKeySubclass)));
    ShowBinding(field, slot->binding);
}

void ArmKeyField(HWND field)
{
    EditKeySlot* slot = SlotOf(field);
    if (slot != NULL) {
        Arm(slot, field);
    }
}
