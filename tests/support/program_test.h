// The fixture of tests that run the program's code in this process: the
// shared registry key and the process-wide state as a fresh start has them,
// before and after every test.  (Tests of the real mirelle.exe use
// running_program_test.h.)
#ifndef MIRELLE_TESTS_PROGRAM_TEST_H
#define MIRELLE_TESTS_PROGRAM_TEST_H

#include <gtest/gtest.h>
#include <windows.h>

#include "app_state.h"
#include "hook_state.h"
#include "key_binding_set.h"
#include "tray_minimize_flag.h"
#include "tests/support/message_pump.h"
#include "tests/support/mirelle_process.h"

// The process-wide state of the program as start-up leaves it with no
// settings stored: default keys, the flag off, nothing held, no main window,
// the player's class name loaded.
inline void ResetProgramState()
{
    RemoveSettingsKey();
    KeyBindings = DefaultKeyBindings;
    TrayMinimize = 0;
    HeldModifiers = 0;
    MainWindowHandle = NULL;
    lstrcpynA(PlayerClassName, "WMPlayerApp", PlayerClassNameCapacity);
}

// The program's code in this process.
class ProgramTest : public testing::Test {
protected:
    void SetUp() override { ResetProgramState(); }

    void TearDown() override
    {
        PumpPendingMessages();  // a quit message posted by a main window included
        ResetProgramState();
    }
};

#endif
