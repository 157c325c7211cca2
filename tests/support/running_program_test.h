// The fixture of tests that drive the real mirelle.exe, started through
// mirelle_: a clean settings key before and after every test, and the
// program stopped afterwards.
#ifndef MIRELLE_TESTS_RUNNING_PROGRAM_TEST_H
#define MIRELLE_TESTS_RUNNING_PROGRAM_TEST_H

#include <gtest/gtest.h>

#include "tests/support/mirelle_process.h"

class RunningProgramTest : public testing::Test {
protected:
    void SetUp() override { RemoveSettingsKey(); }

    void TearDown() override
    {
        StopMirelle(&mirelle_);
        RemoveSettingsKey();
    }

    // Settings as the program will find them at its start.
    void SeedKeys(const BYTE (&keys)[6]) { ASSERT_TRUE(WriteSettingsValue("VK", REG_BINARY, keys, 6)); }
    void SeedTrayMinimize(DWORD value)
    {
        ASSERT_TRUE(WriteSettingsValue("TrayMinimize", REG_DWORD, &value, sizeof value));
    }

    MirelleProcess mirelle_ = {};
};

#endif
