// Random, hand-edited-looking VK and TrayMinimize values in the program's
// registry key: of any registry type and of 0 to 100 bytes, written through
// both the 8-bit and the wide registry functions.  They are loaded in this
// process with LoadSettings, and some of them by the real mirelle.exe, which
// must come up with either the stored or the default keys and end cleanly.
//
// The values are random but reproducible: the seed is printed, and the
// variable MIRELLE_SOAK_SEED (decimal, or hex with 0x) repeats a run.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app_state.h"
#include "settings_store.h"
#include "tray_minimize_flag.h"
#include "key_binding_set.h"
#include "key_bindings.h"
#include "resource.h"
#include "tests/support/mirelle_process.h"
#include "tests/support/running_program_test.h"
#include "tests/support/soak_random.h"

namespace {

const int LoadRounds = 1000;
const int ProgramRounds = 20;

typedef std::vector<BYTE> Bytes;


bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

DWORD RandomType(Random& random)
{
    const DWORD known[] = { REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN,
                            REG_LINK, REG_MULTI_SZ, REG_RESOURCE_LIST, REG_FULL_RESOURCE_DESCRIPTOR,
                            REG_RESOURCE_REQUIREMENTS_LIST, REG_QWORD };
    if (random.Chance(10)) {
        return static_cast<DWORD>(random.Next());
    }
    return known[random.Below(sizeof known / sizeof known[0])];
}

// How the size of a value is drawn.
enum class SizeClass { Any, Loadable, NotLoadable, Four };

size_t RandomSize(Random& random, SizeClass sizeClass)
{
    switch (sizeClass) {
    case SizeClass::Loadable:
        return 6 + random.Below(59);
    case SizeClass::NotLoadable:
        return random.Chance(50) ? random.Below(6) : 65 + random.Below(36);
    case SizeClass::Four:
        return 4;
    default:
        return random.Below(101);
    }
}

// One value as written, and what an 8-bit reader is told it holds.
struct Value {
    const char* name;
    bool present;
    DWORD type;
    bool wide;          // written with RegSetValueExW
    Bytes written;
    Bytes narrow;       // as RegQueryValueExA returns it, given room enough
};

std::string Describe(const Value& value)
{
    if (!value.present) {
        return std::string(value.name) + " absent";
    }
    char text[96];
    std::snprintf(text, sizeof text, "%s of type 0x%lX, %u bytes written (%s), %u read back", value.name,
                  static_cast<unsigned long>(value.type), static_cast<unsigned>(value.written.size()),
                  value.wide ? "wide" : "8-bit", static_cast<unsigned>(value.narrow.size()));
    std::string result = text;
    result += ", bytes";
    for (size_t i = 0; i < value.narrow.size() && i < 8; ++i) {
        std::snprintf(text, sizeof text, " %02X", value.narrow[i]);
        result += text;
    }
    return result;
}

Value RandomValue(Random& random, const char* name, SizeClass sizeClass)
{
    Value value = { name, true, RandomType(random), random.Chance(50), Bytes(), Bytes() };
    size_t size = RandomSize(random, sizeClass);
    bool zeros = random.Chance(15);
    for (size_t i = 0; i < size; ++i) {
        value.written.push_back(zeros ? 0 : static_cast<BYTE>(random.Next()));
    }
    return value;
}

// Writes the value and learns what an 8-bit reader sees of it.  The string
// types are stored as text of 16-bit characters, so their 8-bit form can
// differ from what was written; every other type reads back byte for byte.
void Store(Value* value)
{
    if (!value->present) {
        return;
    }
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, TestSettingsKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, NULL, &key, NULL));
    // Room after the data: the 8-bit function looks one byte past a string
    // value for its terminator.
    Bytes data(value->written);
    data.resize(value->written.size() + 8, 0);
    DWORD size = static_cast<DWORD>(value->written.size());
    LONG result;
    if (value->wide) {
        wchar_t name[32];
        MultiByteToWideChar(CP_ACP, 0, value->name, -1, name, 32);
        result = RegSetValueExW(key, name, 0, value->type, data.data(), size);
    } else {
        result = RegSetValueExA(key, value->name, 0, value->type, data.data(), size);
    }
    ASSERT_EQ(ERROR_SUCCESS, result) << Describe(*value);

    BYTE narrow[512];
    DWORD narrowSize = sizeof narrow;
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, value->name, NULL, &type, narrow, &narrowSize));
    RegCloseKey(key);
    ASSERT_LE(narrowSize, sizeof narrow);
    ASSERT_EQ(value->type, type);
    value->narrow.assign(narrow, narrow + narrowSize);
    if (!IsStringType(value->type)) {
        ASSERT_EQ(value->written, value->narrow) << Describe(*value);
    }
}

// Every value under the key, exactly as stored (wide names, raw bytes).
std::string RawKeyContents()
{
    std::string contents;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, TestSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "no key";
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[64];
        DWORD nameLength = 64;
        DWORD type = 0;
        BYTE data[512];
        DWORD size = sizeof data;
        if (RegEnumValueW(key, index, name, &nameLength, NULL, &type, data, &size) != ERROR_SUCCESS) {
            break;
        }
        contents += std::to_string(nameLength) + ":" + std::to_string(type) + ":"
            + std::string(reinterpret_cast<const char*>(name), nameLength * sizeof(wchar_t)) + ":"
            + std::string(reinterpret_cast<const char*>(data), size) + ";";
    }
    RegCloseKey(key);
    return contents;
}

// What loading must give, from the rules alone: a VK that reads back as 6
// to 64 bytes supplies its first six; a TrayMinimize that reads back as
// exactly four bytes sets the flag to 1 when any of them is non-zero, else
// to 0; anything else (absent, shorter, longer) leaves what was there.
void Predict(const Value& vk, const Value& tray, const KeyBindingSet& before, DWORD flagBefore,
             KeyBindingSet* keys, DWORD* flag)
{
    *keys = before;
    if (vk.present && vk.narrow.size() >= 6 && vk.narrow.size() <= 64) {
        std::memcpy(keys, vk.narrow.data(), 6);
    }
    *flag = flagBefore;
    if (tray.present && tray.narrow.size() == 4) {
        *flag = (tray.narrow[0] | tray.narrow[1] | tray.narrow[2] | tray.narrow[3]) != 0 ? 1 : 0;
    }
}

std::string BytesOf(const KeyBindingSet& keys)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&keys);
    std::string text;
    char hex[4];
    for (size_t i = 0; i < sizeof keys; ++i) {
        std::snprintf(hex, sizeof hex, "%02X ", p[i]);
        text += hex;
    }
    return text;
}

std::string StatusFor(const KeyBindingSet& keys)
{
    // The key names themselves are covered elsewhere; here the question is
    // which keys the program took.
    char names[3][64];
    for (int i = 0; i < 3; ++i) {
        FormatKeyName(GetModuleHandleA(NULL), keys.binding[i], names[i], 64);
    }
    char text[512];
    std::snprintf(text, sizeof text,
                  "The %s, %s, and %s keys will cause Windows Media Player to Mute, Lower, and Raise volume, "
                  "until you quit this program.",
                  names[0], names[1], names[2]);
    return text;
}

class SettingsSoakTest : public RunningProgramTest {
protected:
    void SetUp() override
    {
        RunningProgramTest::SetUp();
        seed_ = ChooseSeed();
        std::printf("settings soak: seed %u (set MIRELLE_SOAK_SEED=%u to repeat this run)\n", seed_, seed_);
        std::fflush(stdout);
        RecordProperty("seed", static_cast<int>(seed_));
        random_.state = seed_;
    }

    void TearDown() override
    {
        RunningProgramTest::TearDown();
        KeyBindings = DefaultKeyBindings;
        TrayMinimize = 0;
    }

    // A fresh key holding the two values (either may be absent).
    void Seed(Value* vk, Value* tray)
    {
        RemoveSettingsKey();
        ASSERT_NO_FATAL_FAILURE(Store(vk));
        ASSERT_NO_FATAL_FAILURE(Store(tray));
    }

    std::string Where(int round, const Value& vk, const Value& tray)
    {
        return "seed " + std::to_string(seed_) + ", round " + std::to_string(round) + ": " + Describe(vk) + "; "
            + Describe(tray);
    }

    unsigned seed_ = 0;
    Random random_ = { 0 };
};

} // namespace

TEST_F(SettingsSoakTest, RandomValuesLoadExactlyAsTheRulesSay)
{
    int keysTaken = 0, flagsTaken = 0;
    for (int round = 0; round < LoadRounds; ++round) {
        Value vk = RandomValue(random_, "VK", random_.Chance(30) ? SizeClass::Loadable : SizeClass::Any);
        Value tray = RandomValue(random_, "TrayMinimize", random_.Chance(40) ? SizeClass::Four : SizeClass::Any);
        vk.present = !random_.Chance(8);
        tray.present = !random_.Chance(8);
        ASSERT_NO_FATAL_FAILURE(Seed(&vk, &tray));
        std::string where = Where(round, vk, tray);
        std::string stored = RawKeyContents();

        // Whatever was in memory before, random too, so "left alone" shows.
        KeyBindingSet before;
        for (KeyBinding& binding : before.binding) {
            binding.vk = static_cast<BYTE>(random_.Next());
            binding.modifiers = static_cast<BYTE>(random_.Next());
        }
        DWORD flagBefore = random_.Below(2);
        KeyBindings = before;
        TrayMinimize = flagBefore;
        LoadSettings();

        KeyBindingSet keys;
        DWORD flag;
        Predict(vk, tray, before, flagBefore, &keys, &flag);
        ASSERT_EQ(BytesOf(keys), BytesOf(KeyBindings)) << where;
        ASSERT_EQ(flag, TrayMinimize) << where;
        ASSERT_EQ(stored, RawKeyContents()) << where << ": loading changed the registry";
        keysTaken += std::memcmp(&keys, &before, sizeof keys) != 0 ? 1 : 0;
        flagsTaken += (tray.present && tray.narrow.size() == 4) ? 1 : 0;
    }
    std::printf("settings soak: %d pairs of values loaded, keys taken from %d, flag from %d\n", LoadRounds,
                keysTaken, flagsTaken);
}

TEST_F(SettingsSoakTest, TheProgramStartsWithTheStoredOrTheDefaultKeysAndExitsCleanly)
{
    for (int round = 0; round < ProgramRounds; ++round) {
        // A spread of each kind: loadable, unloadable, and anything.
        const SizeClass vkClasses[] = { SizeClass::Loadable, SizeClass::NotLoadable, SizeClass::Any };
        Value vk = RandomValue(random_, "VK", vkClasses[round % 3]);
        Value tray = RandomValue(random_, "TrayMinimize", round % 2 == 0 ? SizeClass::Four : SizeClass::Any);
        vk.present = round % 5 != 4;
        tray.present = round % 7 != 6;
        ASSERT_NO_FATAL_FAILURE(Seed(&vk, &tray));
        std::string where = Where(round, vk, tray);
        std::string stored = RawKeyContents();

        KeyBindingSet keys;
        DWORD flag;
        Predict(vk, tray, DefaultKeyBindings, 0, &keys, &flag);
        bool minimized = random_.Chance(30);

        ASSERT_TRUE(StartMirelle(&mirelle_, minimized ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL)) << where;
        HWND window = mirelle_.mainWindow;
        EXPECT_EQ(StatusFor(keys), ControlText(window, IDC_MAIN_STATUS)) << where;
        EXPECT_EQ(flag != 0 ? BST_CHECKED : BST_UNCHECKED,
                  SendMessageA(GetDlgItem(window, IDC_MAIN_TRAY_MINIMIZE), BM_GETCHECK, 0, 0))
            << where;
        if (minimized && flag != 0) {
            // Only the notification icon is left of it.
            EXPECT_FALSE(IsWindowVisible(window)) << where;
        } else {
            EXPECT_TRUE(IsWindowVisible(window)) << where;
            EXPECT_EQ(minimized, IsIconic(window) != FALSE) << where;
        }

        ClickButton(window, IDOK);
        EXPECT_EQ(0u, WaitForExit(&mirelle_, 10000)) << where;
        EXPECT_EQ(stored, RawKeyContents()) << where << ": the program changed the stored values";
        StopMirelle(&mirelle_);
        if (HasFatalFailure()) {
            return;
        }
    }
}

int main(int argc, char** argv)
{
    // The product code loads its strings through the module instance handle.
    ModuleInstance = GetModuleHandleA(NULL);
    TakeMirellePathArgument(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
