#include "set_keys_dialog.h"

#include "app_state.h"
#include "centering.h"
#include "error_box.h"
#include "settings_store.h"
#include "key_capture_field.h"
#include "key_binding_set.h"
#include "resource.h"

namespace {

const int QuestionFormatCapacity = 140;
const int KindNameCapacity = 50;
const int KeyNameCapacity = 64;
const int QuestionCapacity = 256;
const int CaptionCapacity = 140;

const int FieldIds[EditKeySlotCount] = { IDC_SETKEYS_MUTE, IDC_SETKEYS_LOWER, IDC_SETKEYS_RAISE };

// The refused field takes the next key combination, then lets Tab move on
// again.  It is armed outright: a field that has the focus already gets no
// new WM_SETFOCUS, and one that gets it must not be left waiting.
void Refocus(HWND dialog, int fieldId)
{
    HWND field = GetDlgItem(dialog, fieldId);
    SetFocus(field);
    ArmKeyField(field);
}

void LoadText(UINT id, char* buffer, int capacity)
{
    if (LoadStringA(ModuleInstance, id, buffer, capacity) <= 0) {
        buffer[0] = '\0';
    }
}

BOOL OnInitDialog(HWND dialog)
{
    CenterOverParent(dialog);
    for (int i = 0; i < EditKeySlotCount; ++i) {
        InitKeyField(dialog, FieldIds[i], i);
    }
    // TRUE: the focus goes to the first tab stop, OK.
    return TRUE;
}

void OnOk(HWND dialog)
{
    for (int i = 0; i < EditKeySlotCount; ++i) {
        if (!ConfirmKeyChoice(dialog, EditKeySlots[i].binding, FieldIds[i])) {
            return;
        }
    }
    KeyBindingSet chosen;
    for (int i = 0; i < EditKeySlotCount; ++i) {
        chosen.binding[i] = EditKeySlots[i].binding;
    }
    KeyBindings = chosen;
    // The new keys hold for this run even when they could not be stored.
    ReportErrorIfAny(dialog, SaveKeyBindings(), IDS_SAVE_KEYS_ERROR, IDS_SET_KEYS_CAPTION);
    EndDialog(dialog, 1);
}

void OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
        OnOk(dialog);
        break;
    case IDCANCEL:
        EndDialog(dialog, 2);
        break;
    default:
        break;
    }
}

} // namespace

bool ConfirmKeyChoice(HWND dialog, KeyBinding binding, int fieldId)
{
    KeyKind kind = ClassifyKey(binding.vk);
    if (binding.vk == 0) {
        MessageBeep(MB_ICONASTERISK);
        Refocus(dialog, fieldId);
        return false;
    }
    if (kind == KeyKind::Unknown || kind == KeyKind::Command) {
        return true;
    }
    char format[QuestionFormatCapacity];
    char kindName[KindNameCapacity];
    char keyName[KeyNameCapacity];
    char question[QuestionCapacity];
    char caption[CaptionCapacity];
    LoadText(IDS_CONFIRM_KEY, format, QuestionFormatCapacity);
    LoadText(IDS_KIND_NAME_FIRST + static_cast<UINT>(kind), kindName, KindNameCapacity);
    FormatKeyName(ModuleInstance, binding, keyName, KeyNameCapacity);
    // At most 139 + 49 + 63 characters: the question fits its buffer.
    wsprintfA(question, format, kindName, keyName);
    LoadText(IDS_SET_KEYS_CAPTION, caption, CaptionCapacity);
    if (MessageBoxA(dialog, question, caption, MB_ICONQUESTION | MB_YESNO) == IDNO) {
        Refocus(dialog, fieldId);
        return false;
    }
    return true;
}

INT_PTR CALLBACK SetKeysDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam));
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_APPCOMMAND:
        // Media and browser keys are captured as keys; their application
        // commands must not also go to default processing.
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR RunSetKeysDialog(HWND owner)
{
    return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_SET_KEYS), owner, SetKeysDialogProc, 0);
}
