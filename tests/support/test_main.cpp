// Entry point of every unit-test program: the product code loads its strings
// through the module instance handle, which WinMain would otherwise set.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "app_state.h"

int main(int argc, char** argv)
{
    ModuleInstance = GetModuleHandleA(NULL);
    // As at the program's start: the linked resources carry its manifest.
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&controls);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
