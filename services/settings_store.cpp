#include "settings_store.h"
#include "tray_minimize_flag.h"

#include <cstring>

#include "key_binding_set.h"

const char SettingsKeyPath[] = "Software\\Quorvath{7C1E52D0-93AB-4F6E-A2D4-0B8C5E19F3A7}\\Mirelle";

DWORD TrayMinimize = 0;

namespace {

const char KeyBindingsValueName[] = "VK";
const char TrayMinimizeValueName[] = "TrayMinimize";

// Every value is read into a buffer of this size.  A longer value makes the
// query fail with ERROR_MORE_DATA, and it is ignored.
const DWORD ValueCapacity = 64;

// Reads one value, whatever its registry type.  Returns the number of bytes
// read, or 0 when the value is absent, too long or unreadable.
DWORD ReadValue(HKEY key, const char* name, BYTE* buffer)
{
    DWORD type = 0;
    DWORD size = ValueCapacity;
    if (RegQueryValueExA(key, name, NULL, &type, buffer, &size) != ERROR_SUCCESS) {
        return 0;
    }
    // The system never reports more than the buffer holds on success; the
    // check only keeps every later copy inside the buffer should it do so.
    return size <= ValueCapacity ? size : 0;
}

// Opens (or creates, with every missing key on its path) the key and writes
// one value.  A failure to write must not pass for success, so the write's
// own error wins over that of closing the key.
DWORD SaveValue(const char* name, DWORD type, const BYTE* data, DWORD size)
{
    HKEY key = NULL;
    DWORD disposition = 0;
    LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, NULL, &key, &disposition);
    if (result != ERROR_SUCCESS) {
        return static_cast<DWORD>(result);
    }
    LONG written = RegSetValueExA(key, name, 0, type, data, size);
    LONG closed = RegCloseKey(key);
    return static_cast<DWORD>(written != ERROR_SUCCESS ? written : closed);
}

} // namespace

void LoadSettings()
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }

    BYTE buffer[ValueCapacity];
    // Only the first six bytes matter; the codes and masks are taken as they
    // are, so a hand-edited value cannot be "repaired" into something else.
    if (ReadValue(key, KeyBindingsValueName, buffer) >= sizeof(KeyBindingSet)) {
        std::memcpy(&KeyBindings, buffer, sizeof(KeyBindingSet));
    }
    if (ReadValue(key, TrayMinimizeValueName, buffer) == sizeof(DWORD)) {
        DWORD stored = 0;
        std::memcpy(&stored, buffer, sizeof stored);
        TrayMinimize = stored != 0 ? 1 : 0;
    }

    RegCloseKey(key);
}

DWORD SaveKeyBindings()
{
    return SaveValue(KeyBindingsValueName, REG_BINARY, reinterpret_cast<const BYTE*>(&KeyBindings),
                     sizeof(KeyBindingSet));
}

DWORD SaveTrayMinimize()
{
    DWORD stored = TrayMinimize != 0 ? 1 : 0;
    return SaveValue(TrayMinimizeValueName, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored);
}
