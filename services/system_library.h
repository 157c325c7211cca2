// Windows' own DLLs, and only those, for what the program does not import.
// Windows looks for a DLL that is not one of its KnownDLLs in the program's
// own folder first, and a program that is unpacked and started where the
// browser put it (the Downloads folder) must not run whatever DLL lies
// there.  So the program imports nothing but KnownDLLs and the common
// controls, loads every other DLL from System32 by its full path, and keeps
// its folder out of the loads the system makes for it later.
#ifndef MIRELLE_SYSTEM_LIBRARY_H
#define MIRELLE_SYSTEM_LIBRARY_H

#include <windows.h>

// The first thing start-up does: every later load, those the system's own
// DLLs make for the program included (themes, the shell's handlers, input
// methods), looks in System32 alone.  Where the system lacks that setting
// (Windows 7 without its 2011 loader update), at least the current folder is
// taken out of the search.  Either way, the DLLs that the system is known to
// load later by their bare names are loaded here, from System32.
void RestrictDllSearchToSystem32();

// Loads the system DLL `name` (for example "version.dll") from System32 by
// its full path, its own dependencies looked for there first; null when it
// cannot be loaded.  The caller frees it with FreeLibrary.
HMODULE LoadSystemLibrary(const char* name);

// GetProcAddress for a function of the given type; null when the module is
// null or has no such function.
template <typename Function>
Function FindFunction(HMODULE module, const char* name)
{
    if (module == NULL) {
        return NULL;
    }
    // Through void (*)(), the compiler's "any function".
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

#endif
