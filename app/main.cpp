// Mirelle's entry point.  It takes no command-line options.
#include <windows.h>

#include "startup.h"
#include "system_library.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int showCommand)
{
    // Before anything can load a DLL for the program.
    RestrictDllSearchToSystem32();
    return RunMirelle(instance, showCommand);
}
