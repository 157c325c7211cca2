#include "key_bindings.h"
#include "key_binding_set.h"

#include "resource.h"

KeyBindingSet KeyBindings = DefaultKeyBindings;

namespace {

// Every string-table piece goes through a buffer of this size; the longest
// stored piece has 16 characters.
const int PieceCapacity = 32;

// Appends piece to out, never letting out grow past capacity - 1 characters.
void AppendBounded(char* out, int capacity, int* length, const char* piece)
{
    while (*piece != '\0' && *length < capacity - 1) {
        out[(*length)++] = *piece++;
    }
    out[*length] = '\0';
}

// Appends a string-table entry; a missing entry contributes nothing.
void AppendString(HINSTANCE strings, char* out, int capacity, int* length, UINT id)
{
    char piece[PieceCapacity];
    if (LoadStringA(strings, id, piece, PieceCapacity) <= 0) {
        piece[0] = '\0';
    }
    AppendBounded(out, capacity, length, piece);
}

bool InRange(BYTE vk, BYTE low, BYTE high)
{
    return vk >= low && vk <= high;
}

} // namespace

void FormatKeyName(HINSTANCE strings, KeyBinding binding, char* out, int capacity)
{
    if (out == NULL || capacity <= 0) {
        return;
    }
    int length = 0;
    out[0] = '\0';
    // Control always comes first, whatever order the user pressed them in.
    if (binding.modifiers & ModifierControl) {
        AppendString(strings, out, capacity, &length, IDS_CONTROL_PREFIX);
        AppendBounded(out, capacity, &length, "+");
    }
    if (binding.modifiers & ModifierShift) {
        AppendString(strings, out, capacity, &length, IDS_SHIFT_PREFIX);
        AppendBounded(out, capacity, &length, "+");
    }
    AppendString(strings, out, capacity, &length, IDS_KEY_NAME_FIRST + binding.vk);
}

KeyKind ClassifyKey(BYTE vk)
{
    // The sets do not overlap; anything not listed is Unknown.  Note that the
    // left/right Shift, Control and Menu codes (0xA0-0xA5) are Unknown, not
    // ShiftModifier, and that 0xDF is Normal despite its placeholder name.
    if (InRange(vk, 0x10, 0x12) || vk == 0x14) {
        return KeyKind::ShiftModifier;
    }
    if (InRange(vk, 0x01, 0x06)) {
        return KeyKind::MouseButton;
    }
    if (InRange(vk, 0x70, 0x87)) {
        return KeyKind::Function;
    }
    if (vk == 0x15 || InRange(vk, 0x17, 0x19) || InRange(vk, 0x1C, 0x1F)) {
        return KeyKind::InputMethod;
    }
    if (InRange(vk, 0xA6, 0xB7)) {
        return KeyKind::Command;
    }
    if (InRange(vk, 0x5B, 0x5D) || vk == 0x5F) {
        return KeyKind::Microsoft;
    }
    if (InRange(vk, 0x92, 0x96) || vk == 0xE3 || vk == 0xE4 || vk == 0xE6 || InRange(vk, 0xE9, 0xFE)) {
        return KeyKind::Oem;
    }
    if (vk == 0x08 || vk == 0x09 || vk == 0x0C || vk == 0x0D || vk == 0x13 || vk == 0x1B
        || InRange(vk, 0x20, 0x39) || InRange(vk, 0x41, 0x5A) || InRange(vk, 0x60, 0x6F)
        || vk == 0x90 || vk == 0x91 || InRange(vk, 0xBA, 0xC0) || InRange(vk, 0xDB, 0xDF)
        || vk == 0xE1 || vk == 0xE2) {
        return KeyKind::Normal;
    }
    return KeyKind::Unknown;
}
