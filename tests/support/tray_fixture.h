// The fixture of the TrayButton tests: fresh records for each test, the
// test's windows destroyed after it, and no window of the thread left over.
#ifndef MIRELLE_TESTS_TRAY_FIXTURE_H
#define MIRELLE_TESTS_TRAY_FIXTURE_H

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "tests/support/tray_harness.h"
#include "traybutton.h"

class TrayFixture : public testing::Test {
protected:
    void SetUp() override
    {
        InstallTrayRecorders();
        ResetRecords();
        windowsBefore_ = ThreadWindows().size();
    }

    void TearDown() override
    {
        for (HWND window : windows_) {
            if (IsWindow(window)) {
                DestroyWindow(window);
            }
        }
        PumpMessages();
        ResetRecords();
        EXPECT_EQ(windowsBefore_, ThreadWindows().size()) << "a window outlived its test";
    }

    // A top-level window of the test, destroyed after it.
    HWND Make(const char* title = "Tray test", bool visible = true, DWORD style = WS_OVERLAPPEDWINDOW,
              int x = 100, int y = 100, int width = 320, int height = 240, DWORD exStyle = 0)
    {
        HWND window = CreateTestWindow(title, x, y, width, height, style | (visible ? WS_VISIBLE : 0), exStyle);
        EXPECT_TRUE(window != NULL);
        windows_.push_back(window);
        return window;
    }

    static BOOL Attach(HWND window, BOOL mode, BOOL noOwner = FALSE, int showCommand = SW_SHOWNORMAL)
    {
        return AttachTrayButton(window, &showCommand, mode, noOwner);
    }

    std::vector<HWND> windows_;
    size_t windowsBefore_ = 0;
};

#endif
