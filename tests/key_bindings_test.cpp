// Key names come from the string table linked into this test program, the
// same script that mirelle.exe is built with.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "key_binding_set.h"
#include "key_bindings.h"
#include "resource.h"

namespace {

std::string LoadName(UINT id)
{
    char buffer[256];
    int length = LoadStringA(GetModuleHandleA(NULL), id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, length) : std::string();
}

std::string Format(BYTE vk, BYTE modifiers)
{
    char buffer[64];
    KeyBinding binding = { vk, modifiers };
    FormatKeyName(GetModuleHandleA(NULL), binding, buffer, sizeof buffer);
    return buffer;
}

} // namespace

TEST(KeyNameTable, EveryCodeHasANameOfAtMostSixteenCharacters)
{
    for (int vk = 0; vk < 256; ++vk) {
        std::string name = LoadName(IDS_KEY_NAME_FIRST + vk);
        EXPECT_FALSE(name.empty()) << "code " << vk;
        EXPECT_LE(name.size(), 16u) << "code " << vk << " " << name;
    }
}

TEST(KeyNameTable, UnassignedCodesCarryThePlaceholderWithTheirOwnCode)
{
    const BYTE unassigned[] = { 0x07, 0x0A, 0x0B, 0x0E, 0x0F, 0x16, 0x1A, 0x3A, 0x3F, 0x40, 0x5E, 0x88, 0x8F,
                                0x97, 0x9F, 0xB8, 0xB9, 0xC1, 0xCF, 0xD0, 0xDA, 0xDF, 0xE0, 0xE8, 0xFF };
    for (BYTE vk : unassigned) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "Unknown Key %02X", vk);
        EXPECT_EQ(expected, LoadName(IDS_KEY_NAME_FIRST + vk));
    }
    // Every placeholder names its own code, in two uppercase hex digits.
    int placeholders = 0;
    for (int vk = 0; vk < 256; ++vk) {
        std::string name = LoadName(IDS_KEY_NAME_FIRST + vk);
        if (name.compare(0, 12, "Unknown Key ") == 0) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "Unknown Key %02X", vk);
            EXPECT_EQ(expected, name);
            ++placeholders;
        }
    }
    EXPECT_EQ(placeholders, 64);
}

TEST(KeyNameTable, NamesThatOccurTwice)
{
    const BYTE pairs[][2] = { { 0x08, 0xA6 }, { 0x0C, 0xFE }, { 0x24, 0xAC }, { 0xEB, 0xFD }, { 0xF0, 0xF6 } };
    const char* names[] = { "Back", "Clear", "Home", "PA1", "Attn" };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(names[i], LoadName(IDS_KEY_NAME_FIRST + pairs[i][0]));
        EXPECT_EQ(names[i], LoadName(IDS_KEY_NAME_FIRST + pairs[i][1]));
    }
    // No other name is shared.
    int duplicates = 0;
    for (int a = 0; a < 256; ++a) {
        for (int b = a + 1; b < 256; ++b) {
            if (LoadName(IDS_KEY_NAME_FIRST + a) == LoadName(IDS_KEY_NAME_FIRST + b)) {
                ++duplicates;
            }
        }
    }
    EXPECT_EQ(duplicates, 5);
}

TEST(KeyNameTable, ExactNamesIncludingTheOddOnes)
{
    struct Sample { BYTE vk; const char* name; } samples[] = {
        { 0x00, "No such key" },  { 0x01, "Left Mouse Btn" }, { 0x10, "Shift" },    { 0x11, "Control" },
        { 0x12, "Menu" },         { 0x1D, "Non-Convert" },    { 0x30, "0" },        { 0x41, "A" },
        { 0x5A, "Z" },            { 0x5B, "Left Windows" },   { 0x6A, "Num *" },    { 0x6F, "Num /" },
        { 0x87, "F24" },          { 0xA5, "Right Menu" },     { 0xAA, "Search" },   { 0xAB, "Favorites" },
        { 0xAD, "Volume Mute" },  { 0xB3, "Play/Pause" },     { 0xBA, ";:" },       { 0xBB, "+" },
        { 0xBF, "/?" },           { 0xC0, "`~" },             { 0xDB, "[{" },       { 0xDC, "\\|" },
        { 0xDD, "]}" },           { 0xDE, "'''" },            { 0xE2, "<>" },       { 0xE7, "Unicode Packet" },
        { 0xFB, "Zoom" },
    };
    for (const Sample& s : samples) {
        EXPECT_EQ(s.name, LoadName(IDS_KEY_NAME_FIRST + s.vk)) << "code " << int(s.vk);
    }
    EXPECT_EQ("WMPlayerApp", LoadName(IDS_PLAYER_CLASS));
}

TEST(KeyKindNames, NineNamesInEnumerationOrder)
{
    const char* names[] = { "unknown", "normal", "shift/modifier", "mouse button", "function",
                            "input method", "command", "Microsoft", "OEM" };
    for (int kind = 0; kind < KeyKindCount; ++kind) {
        EXPECT_EQ(names[kind], LoadName(IDS_KIND_NAME_FIRST + kind));
    }
}

TEST(FormatKeyName, ExamplesAndDefaults)
{
    EXPECT_EQ("Search", Format(0xAA, 0));
    EXPECT_EQ("Favorites", Format(0xAB, 0));
    EXPECT_EQ("Home", Format(0xAC, 0));
    EXPECT_EQ("Control+Shift+A", Format(0x41, 3));
    EXPECT_EQ("Shift+F1", Format(0x70, 1));
    EXPECT_EQ("Control++", Format(0xBB, 2));
    EXPECT_EQ("No such key", Format(0x00, 0));
    EXPECT_EQ("Home", Format(0x24, 0));
    // Only bits 0 and 1 give prefixes.
    EXPECT_EQ("A", Format(0x41, 0x04));
    EXPECT_EQ("Control+Shift+A", Format(0x41, 0xFF));
    // The longest text the table can produce fits the callers' 64 characters.
    EXPECT_EQ("Control+Shift+Middle Mouse Btn", Format(0x04, 3));
}

TEST(FormatKeyName, WithoutModifiersItIsExactlyTheKeyName)
{
    for (int vk = 0; vk < 256; ++vk) {
        EXPECT_EQ(LoadName(IDS_KEY_NAME_FIRST + vk), Format(static_cast<BYTE>(vk), 0));
    }
}

TEST(FormatKeyName, ASecondCallReplacesTheText)
{
    char buffer[64];
    FormatKeyName(GetModuleHandleA(NULL), KeyBinding{ 0x41, 3 }, buffer, sizeof buffer);
    FormatKeyName(GetModuleHandleA(NULL), KeyBinding{ 0x42, 0 }, buffer, sizeof buffer);
    EXPECT_STREQ("B", buffer);
}

TEST(FormatKeyName, SmallCapacitiesNeverWritePastTheBuffer)
{
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    FormatKeyName(GetModuleHandleA(NULL), KeyBinding{ 0x41, 3 }, buffer, 0);
    for (char c : buffer) {
        EXPECT_EQ('#', c);
    }

    std::memset(buffer, '#', sizeof buffer);
    FormatKeyName(GetModuleHandleA(NULL), KeyBinding{ 0x41, 3 }, buffer, 1);
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ('#', buffer[1]);

    std::memset(buffer, '#', sizeof buffer);
    FormatKeyName(GetModuleHandleA(NULL), KeyBinding{ 0x41, 3 }, buffer, 5);
    EXPECT_STREQ("Cont", buffer);
    EXPECT_EQ('#', buffer[5]);

    std::memset(buffer, '#', sizeof buffer);
    FormatKeyName(GetModuleHandleA(NULL), KeyBinding{ 0x41, 3 }, buffer, 9);
    EXPECT_STREQ("Control+", buffer);
    EXPECT_EQ('#', buffer[9]);

    FormatKeyName(GetModuleHandleA(NULL), KeyBinding{ 0x41, 3 }, NULL, 64);  // tolerated, nothing to write to
}

TEST(ClassifyKey, EdgeCodes)
{
    EXPECT_EQ(KeyKind::ShiftModifier, ClassifyKey(0x14));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0xA0));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0xA5));
    EXPECT_EQ(KeyKind::Normal, ClassifyKey(0x90));
    EXPECT_EQ(KeyKind::Normal, ClassifyKey(0x91));
    EXPECT_EQ(KeyKind::MouseButton, ClassifyKey(0x03));
    EXPECT_EQ(KeyKind::Normal, ClassifyKey(0xDF));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0xE5));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0xE7));
    EXPECT_EQ(KeyKind::Oem, ClassifyKey(0xF6));
    EXPECT_EQ(KeyKind::Oem, ClassifyKey(0xFE));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0xFF));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0x00));
    EXPECT_EQ(KeyKind::Command, ClassifyKey(0xAA));
    EXPECT_EQ(KeyKind::Command, ClassifyKey(0xAB));
    EXPECT_EQ(KeyKind::Command, ClassifyKey(0xAC));
    EXPECT_EQ(KeyKind::Command, ClassifyKey(0xA6));
    EXPECT_EQ(KeyKind::Command, ClassifyKey(0xB7));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0xB8));
    EXPECT_EQ(KeyKind::Function, ClassifyKey(0x70));
    EXPECT_EQ(KeyKind::Function, ClassifyKey(0x87));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0x88));
    EXPECT_EQ(KeyKind::InputMethod, ClassifyKey(0x15));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0x16));
    EXPECT_EQ(KeyKind::InputMethod, ClassifyKey(0x19));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0x1A));
    EXPECT_EQ(KeyKind::Normal, ClassifyKey(0x1B));
    EXPECT_EQ(KeyKind::InputMethod, ClassifyKey(0x1F));
    EXPECT_EQ(KeyKind::Microsoft, ClassifyKey(0x5B));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0x5E));
    EXPECT_EQ(KeyKind::Microsoft, ClassifyKey(0x5F));
    EXPECT_EQ(KeyKind::Oem, ClassifyKey(0x92));
    EXPECT_EQ(KeyKind::Oem, ClassifyKey(0x96));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0x97));
    EXPECT_EQ(KeyKind::Normal, ClassifyKey(0xC0));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0xC1));
    EXPECT_EQ(KeyKind::Normal, ClassifyKey(0xE1));
    EXPECT_EQ(KeyKind::Normal, ClassifyKey(0xE2));
    EXPECT_EQ(KeyKind::Oem, ClassifyKey(0xE3));
    EXPECT_EQ(KeyKind::Oem, ClassifyKey(0xE6));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0xE8));
    EXPECT_EQ(KeyKind::Oem, ClassifyKey(0xE9));
    EXPECT_EQ(KeyKind::Normal, ClassifyKey(0x39));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0x3A));
    EXPECT_EQ(KeyKind::Unknown, ClassifyKey(0x40));
    EXPECT_EQ(KeyKind::Normal, ClassifyKey(0x41));
}

TEST(ClassifyKey, KindCountsOverAllCodes)
{
    // Independent tally of the table's sets; catches a code falling into two
    // sets or none.
    int counts[KeyKindCount] = {};
    for (int vk = 0; vk < 256; ++vk) {
        int kind = static_cast<int>(ClassifyKey(static_cast<BYTE>(vk)));
        ASSERT_GE(kind, 0);
        ASSERT_LT(kind, KeyKindCount);
        counts[kind]++;
    }
    EXPECT_EQ(4, counts[static_cast<int>(KeyKind::ShiftModifier)]);
    EXPECT_EQ(6, counts[static_cast<int>(KeyKind::MouseButton)]);
    EXPECT_EQ(24, counts[static_cast<int>(KeyKind::Function)]);
    EXPECT_EQ(8, counts[static_cast<int>(KeyKind::InputMethod)]);
    EXPECT_EQ(18, counts[static_cast<int>(KeyKind::Command)]);
    EXPECT_EQ(4, counts[static_cast<int>(KeyKind::Microsoft)]);
    EXPECT_EQ(5 + 3 + 22, counts[static_cast<int>(KeyKind::Oem)]);
    EXPECT_EQ(6 + 26 + 26 + 16 + 2 + 7 + 5 + 2, counts[static_cast<int>(KeyKind::Normal)]);
}

TEST(KeyBindingSet, DefaultsAreSearchFavoritesHomeWithoutModifiers)
{
    const BYTE expected[6] = { 0xAA, 0, 0xAB, 0, 0xAC, 0 };
    EXPECT_EQ(0, std::memcmp(&KeyBindings, expected, 6));
    EXPECT_EQ(0xAC, KeyBindings[VolumeAction::Raise].vk);
    EXPECT_EQ(0xAA, KeyBindings[VolumeAction::Mute].vk);
}
