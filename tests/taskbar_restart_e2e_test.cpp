// The shell's taskbar created anew while the real mirelle.exe lives behind its
// notification icon.  A restarting shell has lost every icon and broadcasts
// "TaskbarCreated"; the program must put its icon back, and the icon must
// still bring the window back.  Wine's notification area exists only with an
// X display, so this program runs on Xvfb (scripts/wine-run-x11).
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "resource.h"
#include "tests/support/message_pump.h"
#include "tests/support/mirelle_process.h"
#include "tests/support/running_program_test.h"
#include "tests/support/user_input.h"

namespace {

NOTIFYICONDATAA IconOf(HWND window)
{
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = 0;
    return data;
}

// Whether the notification area holds the window's icon: changing nothing
// about an icon succeeds only for an icon it has.
bool IconShown(HWND window)
{
    NOTIFYICONDATAA probe = IconOf(window);
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

// What a new taskbar does: tell every top-level window that it exists.
void BroadcastTaskbarCreated()
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &ignored);
}

// Wine shows the icons in a small window of its own when no desktop shell
// hosts them.  With a single icon, that icon is the first, at the top left
// of the window's client area; its centre on the screen.
bool FindOnlyIcon(POINT* icon)
{
    HWND tray = NULL;
    if (!PumpUntil([&] {
            tray = FindWindowA("__winex11_standalone_tray", NULL);
            return tray != NULL && IsWindowVisible(tray);
        })) {
        return false;
    }
    icon->x = GetSystemMetrics(SM_CXSMICON) / 2 + 2;
    icon->y = GetSystemMetrics(SM_CYSMICON) / 2 + 2;
    ClientToScreen(tray, icon);
    return true;
}

class TaskbarRestartTest : public RunningProgramTest {
protected:
    void SetUp() override
    {
        RunningProgramTest::SetUp();
        ASSERT_TRUE(FindWindowA("Shell_TrayWnd", NULL) != NULL) << "no notification area: is there an X display?";
    }
};

} // namespace

TEST_F(TaskbarRestartTest, ANewTaskbarGetsTheIconBackAndAClickOnItShowsTheWindow)
{
    SeedTrayMinimize(1);
    ASSERT_TRUE(StartMirelle(&mirelle_, SW_SHOWMINNOACTIVE));
    HWND window = mirelle_.mainWindow;
    ASSERT_TRUE(PumpUntil([&] { return IconShown(window); })) << "the icon of a minimized start";
    EXPECT_FALSE(IsWindowVisible(window));

    // The shell goes away and with it the icon, as a crashed shell's would.
    NOTIFYICONDATAA lost = IconOf(window);
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));
    ASSERT_FALSE(IconShown(window));

    BroadcastTaskbarCreated();
    ASSERT_TRUE(PumpUntil([&] { return IconShown(window); })) << "the icon did not come back";
    EXPECT_FALSE(IsWindowVisible(window)) << "the window stays where it was, behind the icon";
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(&mirelle_, 0));

    POINT icon;
    ASSERT_TRUE(FindOnlyIcon(&icon)) << "no window shows the icons";
    ASSERT_EQ(3u, ClickAt(icon.x, icon.y));
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(window) != FALSE; })) << "the click did not show the window";

    // Another new taskbar while the window is shown: the icon is back
    // again, and after the Minimize command has hidden the window, a click
    // on it shows the window once more.
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));
    BroadcastTaskbarCreated();
    ASSERT_TRUE(PumpUntil([&] { return IconShown(window); })) << "the icon did not come back the second time";
    EXPECT_TRUE(IsWindowVisible(window));
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_FALSE(IsWindowVisible(window));
    ASSERT_TRUE(FindOnlyIcon(&icon)) << "no window shows the icons";
    ASSERT_EQ(3u, ClickAt(icon.x, icon.y));
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(window) != FALSE; }))
        << "the second click did not show the window";

    ClickButton(window, IDOK);
    EXPECT_EQ(0u, WaitForExit(&mirelle_, 10000));
    EXPECT_FALSE(IconShown(window)) << "the icon outlived the program";
}

// A user who cannot find the icon starts the program again to get it back.
TEST_F(TaskbarRestartTest, ASecondStartShowsTheWindowHiddenBehindTheIcon)
{
    SeedTrayMinimize(1);
    ASSERT_TRUE(StartMirelle(&mirelle_, SW_SHOWMINNOACTIVE));
    HWND window = mirelle_.mainWindow;
    ASSERT_TRUE(PumpUntil([&] { return IconShown(window); }));
    ASSERT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(0u, RunSecondStart(SW_SHOWNORMAL, 30000));
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(window) != FALSE; }));
    EXPECT_TRUE(IconShown(window));
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(&mirelle_, 0));
}

TEST_F(TaskbarRestartTest, WithoutTheTrayModeANewTaskbarGetsNoIcon)
{
    ASSERT_TRUE(StartMirelle(&mirelle_, SW_SHOWNORMAL));
    HWND window = mirelle_.mainWindow;
    EXPECT_FALSE(IconShown(window));
    BroadcastTaskbarCreated();
    // The broadcast is sent, not posted: the program has handled it by now.
    EXPECT_FALSE(IconShown(window));
    EXPECT_TRUE(IsWindowVisible(window));
    ClickButton(window, IDOK);
    EXPECT_EQ(0u, WaitForExit(&mirelle_, 10000));
}

int main(int argc, char** argv)
{
    TakeMirellePathArgument(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
