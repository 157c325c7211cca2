// A chosen key (KeyBinding), the three of them (KeyBindingSet), and how a key
// is named and sorted for the user (FormatKeyName, ClassifyKey).
#ifndef MIRELLE_KEY_BINDINGS_H
#define MIRELLE_KEY_BINDINGS_H

#include <windows.h>

// Which of Shift and Control must accompany a key.  Only bits 0 and 1 mean
// anything; stored settings may carry others, and they are kept as they are.
typedef BYTE ModifierMask;
const ModifierMask ModifierShift   = 0x01;
const ModifierMask ModifierControl = 0x02;

struct KeyBinding {
    BYTE vk;                 // virtual-key code; 0 means no key
    ModifierMask modifiers;
};

// The slots of a KeyBindingSet, in their stored order.
enum class VolumeAction : int { Mute = 0, Lower = 1, Raise = 2 };
const int VolumeActionCount = 3;

// Six bytes in this exact order: Mute vk, Mute mask, Lower vk, Lower mask,
// Raise vk, Raise mask.  The registry value VK is a copy of these bytes.
struct KeyBindingSet {
    KeyBinding binding[VolumeActionCount];

    KeyBinding& operator[](VolumeAction action) { return binding[static_cast<int>(action)]; }
    const KeyBinding& operator[](VolumeAction action) const { return binding[static_cast<int>(action)]; }
};
static_assert(sizeof(KeyBinding) == 2, "a KeyBinding is two bytes");
static_assert(sizeof(KeyBindingSet) == 6, "a KeyBindingSet is six bytes");

// Search, Favorites and Home, without modifiers.
const KeyBindingSet DefaultKeyBindings = { { { 0xAA, 0 }, { 0xAB, 0 }, { 0xAC, 0 } } };

enum class KeyKind : BYTE {
    Unknown = 0,
    Normal = 1,
    ShiftModifier = 2,
    MouseButton = 3,
    Function = 4,
    InputMethod = 5,
    Command = 6,
    Microsoft = 7,
    Oem = 8,
};
const int KeyKindCount = 9;

// Writes the binding's display text ("Control+Shift+F7") into out, replacing
// what it held; the names come from the string table of the module `strings`
// (the program's own).  Never writes more than capacity characters including
// the terminating zero; with capacity 0 nothing is written at all.
void FormatKeyName(HINSTANCE strings, KeyBinding binding, char* out, int capacity);

// Sorts a key code into the kind that decides whether the Set Keys dialog asks
// the user to confirm it.
KeyKind ClassifyKey(BYTE vk);

#endif
