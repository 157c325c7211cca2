#include "system_library.h"

namespace {

// Loaded by the system's own DLLs by their bare names once the first themed
// control is drawn: the theme engine (by the common controls) and its
// drawing helpers (by the theme engine).
const char* const LoadedLaterByName[] = { "uxtheme.dll", "msimg32.dll" };

} // namespace

void RestrictDllSearchToSystem32()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    SetDefaultDllDirectoriesFunction setDefaultDirectories =
        FindFunction<SetDefaultDllDirectoriesFunction>(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefaultDirectories == NULL || !setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // The program's folder stays in this search, which is why the
        // program itself loads nothing by its bare name.
        SetDllDirectoryA("");
    }
    // Loaded now from System32, these are in place when the system asks for
    // them by name: also where the program's folder could not be taken out
    // of the search, and where a delay load does not heed the setting above
    // (Wine's).  They stay loaded for the life of the process.
    for (const char* name : LoadedLaterByName) {
        LoadSystemLibrary(name);
    }
}

HMODULE LoadSystemLibrary(const char* name)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenA(name) >= static_cast<UINT>(MAX_PATH)) {
        return NULL;
    }
    path[length] = '\\';
    lstrcpynA(path + length + 1, name, MAX_PATH - length - 1);
    // With a full path, the DLL's own dependencies are looked for in its
    // folder before any other.
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}
