// The user's two settings, kept per user in one registry key:
//   HKEY_CURRENT_USER\Software\Quorvath{7C1E52D0-93AB-4F6E-A2D4-0B8C5E19F3A7}\Mirelle
// with the values VK (REG_BINARY, the six bytes of the KeyBindingSet) and
// TrayMinimize (REG_DWORD, 0 or 1).  No key handle is held between calls.
#ifndef MIRELLE_SETTINGS_STORE_H
#define MIRELLE_SETTINGS_STORE_H

#include <windows.h>

// The key's path under HKEY_CURRENT_USER.
extern const char SettingsKeyPath[];

// Overwrites the in-memory KeyBindingSet and TrayMinimize flag with what the
// registry holds, as far as the values are acceptable; leaves the rest as it
// is.  Never creates the key and never writes to the registry.
void LoadSettings();

// Write the in-memory KeyBindingSet (as VK) or TrayMinimize flag; each touches
// only its own value.  Return a Win32 error code, 0 on success.
DWORD SaveKeyBindings();
DWORD SaveTrayMinimize();

#endif
