// The settings store against the real registry of the test prefix.  Every case
// starts with the vendor key removed and removes it again when it ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings_store.h"
#include "tray_minimize_flag.h"
#include "key_binding_set.h"
#include "tests/support/program_test.h"

namespace {

const char VendorKeyPath[] = "Software\\Quorvath{7C1E52D0-93AB-4F6E-A2D4-0B8C5E19F3A7}";
const char FullKeyPath[] = "Software\\Quorvath{7C1E52D0-93AB-4F6E-A2D4-0B8C5E19F3A7}\\Mirelle";

typedef std::vector<BYTE> Bytes;

struct StoredValue {
    std::string name;
    DWORD type;
    Bytes data;

    bool operator==(const StoredValue& other) const
    {
        return name == other.name && type == other.type && data == other.data;
    }
};

void RemoveVendorKey()
{
    LONG result = RegDeleteTreeA(HKEY_CURRENT_USER, VendorKeyPath);
    ASSERT_TRUE(result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) << result;
}

bool KeyExists(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Stores the bytes exactly as given: the wide form does no conversion, even
// for the string types.
void WriteRaw(const wchar_t* name, DWORD type, const Bytes& data)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, FullKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, NULL, &key, NULL));
    static const BYTE none = 0;
    LONG result = RegSetValueExW(key, name, 0, type, data.empty() ? &none : data.data(),
                                 static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, result) << "type " << type << " size " << data.size();
}

// Every value of the key, raw, in enumeration order.
std::vector<StoredValue> Snapshot()
{
    std::vector<StoredValue> values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, FullKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return values;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, index, name, &nameLength, NULL, &type, NULL, &size) != ERROR_SUCCESS) {
            break;
        }
        Bytes data(size + 1);
        nameLength = 256;
        DWORD read = size;
        EXPECT_EQ(ERROR_SUCCESS, RegEnumValueW(key, index, name, &nameLength, NULL, &type, data.data(), &read));
        data.resize(read);
        StoredValue value;
        for (DWORD i = 0; i < nameLength; ++i) {
            value.name += static_cast<char>(name[i]);
        }
        value.type = type;
        value.data = data;
        values.push_back(value);
    }
    RegCloseKey(key);
    return values;
}

// One value as stored; false when the key or the value is absent.
bool ReadStored(const char* name, DWORD* type, Bytes* data)
{
    for (const StoredValue& value : Snapshot()) {
        if (value.name == name) {
            *type = value.type;
            *data = value.data;
            return true;
        }
    }
    return false;
}

Bytes Pattern(size_t size, BYTE first)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<BYTE>(first + i * 7);
    }
    return bytes;
}

Bytes BytesOf(const KeyBindingSet& set)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&set);
    return Bytes(p, p + sizeof set);
}

Bytes BytesOf(DWORD value)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&value);
    return Bytes(p, p + sizeof value);
}

KeyBindingSet SetOf(const Bytes& bytes)
{
    KeyBindingSet set;
    std::memcpy(&set, bytes.data(), sizeof set);
    return set;
}

// A set that differs from the defaults in every byte.
const KeyBindingSet Marker = { { { 0x11, 0x22 }, { 0x33, 0x44 }, { 0x55, 0x66 } } };

class SettingsStoreTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        RemoveVendorKey();
    }

    void TearDown() override
    {
        RemoveVendorKey();
        EXPECT_FALSE(KeyExists(VendorKeyPath));
        ProgramTest::TearDown();
    }

    // Loads over a known in-memory state.
    void LoadFrom(const KeyBindingSet& keys, DWORD flag)
    {
        KeyBindings = keys;
        TrayMinimize = flag;
        LoadSettings();
    }
};

void ExpectKeys(const KeyBindingSet& expected, const char* why)
{
    EXPECT_EQ(BytesOf(expected), BytesOf(KeyBindings)) << why;
}

} // namespace

TEST_F(SettingsStoreTest, WithoutTheKeyLoadingKeepsTheDefaultsAndCreatesNothing)
{
    LoadSettings();
    ExpectKeys(DefaultKeyBindings, "defaults");
    EXPECT_EQ(0u, TrayMinimize);
    EXPECT_FALSE(KeyExists(VendorKeyPath));

    // Whatever was in memory stays there.
    LoadFrom(Marker, 1);
    ExpectKeys(Marker, "untouched");
    EXPECT_EQ(1u, TrayMinimize);
    EXPECT_FALSE(KeyExists(VendorKeyPath));

    // The vendor key alone, or the key with no values, supplies nothing either.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, VendorKeyPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                             &key, NULL));
    RegCloseKey(key);
    LoadFrom(Marker, 1);
    ExpectKeys(Marker, "vendor key only");
    EXPECT_FALSE(KeyExists(FullKeyPath));

    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, FullKeyPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                             &key, NULL));
    RegCloseKey(key);
    LoadFrom(Marker, 1);
    ExpectKeys(Marker, "empty key");
    EXPECT_EQ(1u, TrayMinimize);
    EXPECT_TRUE(Snapshot().empty());
}

TEST_F(SettingsStoreTest, KeyBindingsAreTakenFromSixToSixtyFourBytes)
{
    const size_t sizes[] = { 0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 32, 63, 64, 65, 66, 100, 4096, 100000 };
    for (size_t size : sizes) {
        Bytes data = Pattern(size, 0x41);
        WriteRaw(L"VK", REG_BINARY, data);
        LoadFrom(DefaultKeyBindings, 0);
        std::string why = "VK of " + std::to_string(size) + " bytes";
        if (size >= 6 && size <= 64) {
            ExpectKeys(SetOf(data), why.c_str());
        } else {
            ExpectKeys(DefaultKeyBindings, why.c_str());
        }
        EXPECT_EQ(0u, TrayMinimize) << why;
    }
}

TEST_F(SettingsStoreTest, KeyBindingsOfAnyTypeAreTakenWhenTheSizeFits)
{
    const DWORD types[] = { REG_NONE, REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_QWORD, REG_RESOURCE_LIST, 0x12345678 };
    for (DWORD type : types) {
        Bytes data = Pattern(8, static_cast<BYTE>(type + 1));
        WriteRaw(L"VK", type, data);
        LoadFrom(DefaultKeyBindings, 0);
        ExpectKeys(SetOf(data), ("type " + std::to_string(type)).c_str());

        // Too short a value of the same type is still ignored.
        WriteRaw(L"VK", type, Pattern(4, 0x10));
        LoadFrom(DefaultKeyBindings, 0);
        ExpectKeys(DefaultKeyBindings, ("short, type " + std::to_string(type)).c_str());
    }

    // Strings are read in their 8-bit form: "Volume" is six characters.
    const wchar_t text[] = L"Volume";
    const BYTE* raw = reinterpret_cast<const BYTE*>(text);
    const DWORD stringTypes[] = { REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ };
    for (DWORD type : stringTypes) {
        WriteRaw(L"VK", type, Bytes(raw, raw + sizeof text));
        LoadFrom(DefaultKeyBindings, 0);
        ExpectKeys(SetOf(Bytes({ 'V', 'o', 'l', 'u', 'm', 'e' })), ("string type " + std::to_string(type)).c_str());
    }
}

TEST_F(SettingsStoreTest, KeyBindingsLoadUncheckedCodesAndMasksAsTheyAre)
{
    const KeyBindingSet odd = { { { 0x00, 0xFC }, { 0x41, 0xFF }, { 0x00, 0x04 } } };
    WriteRaw(L"VK", REG_BINARY, BytesOf(odd));
    LoadFrom(DefaultKeyBindings, 0);
    ExpectKeys(odd, "zero codes and high mask bits");
}

TEST_F(SettingsStoreTest, TrayMinimizeIsTakenFromExactlyFourBytesOfAnyType)
{
    struct Case {
        DWORD type;
        Bytes data;
        DWORD expected;
    };
    const Case accepted[] = {
        { REG_DWORD, BytesOf(0u), 0 },
        { REG_DWORD, BytesOf(1u), 1 },
        { REG_DWORD, BytesOf(2u), 1 },
        { REG_DWORD, BytesOf(0x80000000u), 1 },
        { REG_DWORD, BytesOf(0xFFFFFFFFu), 1 },
        { REG_BINARY, Bytes({ 0, 0, 0, 1 }), 1 },
        { REG_BINARY, Bytes({ 0, 0, 0, 0 }), 0 },
        { REG_DWORD_BIG_ENDIAN, Bytes({ 0, 0, 0, 1 }), 1 },
        { REG_NONE, Bytes({ 0, 1, 0, 0 }), 1 },
        { 0x12345678, BytesOf(0u), 0 },
    };
    for (const Case& c : accepted) {
        WriteRaw(L"TrayMinimize", c.type, c.data);
        std::string why = "type " + std::to_string(c.type) + " first byte " + std::to_string(c.data[0]);
        LoadFrom(Marker, 0);
        EXPECT_EQ(c.expected, TrayMinimize) << why;
        LoadFrom(Marker, 1);
        EXPECT_EQ(c.expected, TrayMinimize) << why;
        ExpectKeys(Marker, why.c_str());
    }

    // "abc" is four bytes in its 8-bit form, and not zero.
    const wchar_t text[] = L"abc";
    const BYTE* raw = reinterpret_cast<const BYTE*>(text);
    WriteRaw(L"TrayMinimize", REG_SZ, Bytes(raw, raw + sizeof text));
    LoadFrom(Marker, 0);
    EXPECT_EQ(1u, TrayMinimize) << "REG_SZ";

    const size_t ignoredSizes[] = { 0, 1, 2, 3, 5, 6, 8, 63, 64, 65, 1000 };
    for (size_t size : ignoredSizes) {
        WriteRaw(L"TrayMinimize", REG_BINARY, Bytes(size, 0x01));
        LoadFrom(Marker, 0);
        EXPECT_EQ(0u, TrayMinimize) << size << " bytes";
        WriteRaw(L"TrayMinimize", REG_BINARY, Bytes(size, 0x00));
        LoadFrom(Marker, 1);
        EXPECT_EQ(1u, TrayMinimize) << size << " bytes";
    }
    // An eight-byte number, even of value 1, is not the flag.
    WriteRaw(L"TrayMinimize", REG_QWORD, Bytes({ 1, 0, 0, 0, 0, 0, 0, 0 }));
    LoadFrom(Marker, 0);
    EXPECT_EQ(0u, TrayMinimize) << "REG_QWORD";
}

TEST_F(SettingsStoreTest, SavingCreatesTheWholePathAndWritesExactBytes)
{
    ASSERT_FALSE(KeyExists(VendorKeyPath));
    KeyBindings = { { { 0x00, 0xFC }, { 0x41, 0x03 }, { 0xAD, 0x01 } } };
    EXPECT_EQ(0u, SaveKeyBindings());
    EXPECT_TRUE(KeyExists(FullKeyPath));

    std::vector<StoredValue> values = Snapshot();
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ("VK", values[0].name);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), values[0].type);
    EXPECT_EQ(Bytes({ 0x00, 0xFC, 0x41, 0x03, 0xAD, 0x01 }), values[0].data);

    RemoveVendorKey();
    TrayMinimize = 1;
    EXPECT_EQ(0u, SaveTrayMinimize());
    values = Snapshot();
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ("TrayMinimize", values[0].name);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), values[0].type);
    EXPECT_EQ(BytesOf(1u), values[0].data);
}

TEST_F(SettingsStoreTest, TrayMinimizeIsAlwaysWrittenAsZeroOrOne)
{
    const DWORD flags[] = { 0, 1, 2, 0x80000000u, 0xFFFFFFFFu, 0 };
    for (DWORD flag : flags) {
        TrayMinimize = flag;
        EXPECT_EQ(0u, SaveTrayMinimize());
        DWORD type = 0;
        Bytes data;
        ASSERT_TRUE(ReadStored("TrayMinimize", &type, &data));
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
        EXPECT_EQ(BytesOf(flag != 0 ? 1u : 0u), data) << flag;
    }
}

TEST_F(SettingsStoreTest, EachSaveLeavesTheOtherValueAsItWas)
{
    // Odd but loadable values, and an unrelated one, none as the store writes.
    WriteRaw(L"VK", REG_SZ, Pattern(11, 0x30));
    WriteRaw(L"TrayMinimize", REG_BINARY, Bytes({ 5, 0, 0, 0 }));
    WriteRaw(L"Other", REG_DWORD, BytesOf(42u));
    std::vector<StoredValue> before = Snapshot();
    ASSERT_EQ(3u, before.size());

    TrayMinimize = 0;
    EXPECT_EQ(0u, SaveTrayMinimize());
    std::vector<StoredValue> after = Snapshot();
    ASSERT_EQ(3u, after.size());
    for (size_t i = 0; i < after.size(); ++i) {
        if (after[i].name == "TrayMinimize") {
            EXPECT_EQ(static_cast<DWORD>(REG_DWORD), after[i].type);
            EXPECT_EQ(BytesOf(0u), after[i].data);
        } else {
            EXPECT_TRUE(after[i] == before[i]) << after[i].name;
        }
    }

    before = after;
    KeyBindings = Marker;
    EXPECT_EQ(0u, SaveKeyBindings());
    after = Snapshot();
    ASSERT_EQ(3u, after.size());
    for (size_t i = 0; i < after.size(); ++i) {
        if (after[i].name == "VK") {
            EXPECT_EQ(static_cast<DWORD>(REG_BINARY), after[i].type);
            EXPECT_EQ(BytesOf(Marker), after[i].data);
        } else {
            EXPECT_TRUE(after[i] == before[i]) << after[i].name;
        }
    }
}

TEST_F(SettingsStoreTest, SavedSettingsLoadBack)
{
    KeyBindings = Marker;
    TrayMinimize = 1;
    EXPECT_EQ(0u, SaveKeyBindings());
    EXPECT_EQ(0u, SaveTrayMinimize());

    LoadFrom(DefaultKeyBindings, 0);
    ExpectKeys(Marker, "round trip");
    EXPECT_EQ(1u, TrayMinimize);
}

TEST_F(SettingsStoreTest, AFailedSaveReturnsTheSystemsCodeAndChangesNothingInMemory)
{
    ASSERT_TRUE(MakeSettingsUnsavable());

    KeyBindings = Marker;
    TrayMinimize = 1;
    EXPECT_EQ(static_cast<DWORD>(ERROR_CHILD_MUST_BE_VOLATILE), SaveKeyBindings());
    EXPECT_EQ(static_cast<DWORD>(ERROR_CHILD_MUST_BE_VOLATILE), SaveTrayMinimize());
    ExpectKeys(Marker, "after failed save");
    EXPECT_EQ(1u, TrayMinimize);
    EXPECT_FALSE(KeyExists(FullKeyPath));
}

TEST_F(SettingsStoreTest, AnythingUnderTheKeyLoadsSafelyAndIsLeftUnchanged)
{
    const DWORD types[] = { REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN,
                            REG_LINK, REG_MULTI_SZ, REG_RESOURCE_LIST, REG_QWORD, 0x7FFFFFFF, 0xFFFFFFFF };
    const size_t sizes[] = { 0, 1, 3, 4, 5, 6, 7, 8, 13, 31, 63, 64, 65, 127, 128, 129, 130, 257, 70000 };
    for (DWORD type : types) {
        for (size_t size : sizes) {
            std::string why = "type " + std::to_string(type) + " size " + std::to_string(size);
            // Unterminated odd bytes, so the string types see no sensible text.
            WriteRaw(L"VK", type, Pattern(size, 0x81));
            WriteRaw(L"TrayMinimize", type, Pattern(size, 0x00));
            std::vector<StoredValue> before = Snapshot();

            LoadFrom(Marker, 0);
            EXPECT_TRUE(before == Snapshot()) << why;

            // The 8-bit size of a string value is what the store sees, and
            // whether it fits decides.  For the other types it is the raw size.
            bool isString = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
            Bytes narrow = Pattern(size, 0x81);
            if (isString) {
                HKEY key;
                ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, FullKeyPath, 0, KEY_READ, &key));
                DWORD narrowSize = 0;
                RegQueryValueExA(key, "VK", NULL, NULL, NULL, &narrowSize);
                narrow.assign(narrowSize + 16, 0);
                RegQueryValueExA(key, "VK", NULL, NULL, narrow.data(), &narrowSize);
                narrow.resize(narrowSize);
                RegCloseKey(key);
            }
            if (narrow.size() >= 6 && narrow.size() <= 64) {
                ExpectKeys(SetOf(narrow), why.c_str());
            } else {
                ExpectKeys(Marker, why.c_str());
            }
            if (!isString) {
                EXPECT_EQ(size == 4 ? 1u : 0u, TrayMinimize) << why;
            }
        }
    }
}
