// Mirelle's entry point.  It takes no command-line options.
#include <windows.h>

#include "startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int showCommand)
{
    return RunMirelle(instance, showCommand);
}
