// Entry point of every unit-test program: the product code loads its strings
// through the module instance handle, which WinMain would otherwise set.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/app_state.h"

int main(int argc, char** argv)
{
    ModuleInstance = GetModuleHandleA(NULL);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
