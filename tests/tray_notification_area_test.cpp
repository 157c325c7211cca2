// TrayButton against a real notification area: Wine's, which runs in its
// desktop process when Wine has an X display (this program runs on Xvfb, see
// scripts/wine-run-x11).  The icon is looked up in the notification area
// itself, and clicked with the mouse.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include "tests/support/tray_fixture.h"
#include "tests/support/tray_harness.h"
#include "tests/support/user_input.h"
#include "traybutton.h"

namespace {

class NotificationAreaTest : public TrayFixture {
protected:
    void SetUp() override
    {
        TrayFixture::SetUp();
        ASSERT_TRUE(FindWindowA("Shell_TrayWnd", NULL) != NULL) << "no notification area: is there an X display?";
    }
};

// Whether the notification area holds the window's icon: changing nothing
// about an icon succeeds only for an icon it has.
bool IconShown(HWND window)
{
    NOTIFYICONDATAA probe = {};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = window;
    return RealShellNotifyIcon(NIM_MODIFY, &probe) != FALSE;
}

// Dispatches messages until condition holds; false if it never does.
template <typename Condition>
bool PumpUntil(Condition condition)
{
    for (int i = 0; i < 500; ++i) {
        PumpMessages();
        if (condition()) {
            return true;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
    return false;
}

TEST_F(NotificationAreaTest, TheIconComesWithTheModeAndGoesWithTheWindow)
{
    HWND window = Make("In the notification area");
    SetAnsweredIcons(window, LoadIcon(NULL, IDI_INFORMATION), NULL);
    ASSERT_TRUE(Attach(window, TRUE));
    ASSERT_EQ(1u, CallsWith(NIM_ADD).size());
    EXPECT_TRUE(CallsWith(NIM_ADD)[0].result) << "the shell took the icon as described";
    EXPECT_TRUE(IconShown(window));

    ASSERT_TRUE(SetTrayMinimize(window, FALSE));
    EXPECT_FALSE(IconShown(window));
    ASSERT_TRUE(SetTrayMinimize(window, TRUE));
    EXPECT_TRUE(IconShown(window));

    DestroyWindow(window);
    EXPECT_FALSE(IconShown(window));
}

TEST_F(NotificationAreaTest, AttachingWithTheModeOffShowsNoIcon)
{
    HWND window = Make();
    ASSERT_TRUE(Attach(window, FALSE));
    EXPECT_FALSE(IconShown(window));
}

TEST_F(NotificationAreaTest, ANewTaskbarGetsTheIconBack)
{
    HWND window = Make("Restarted");
    ASSERT_TRUE(Attach(window, TRUE));
    NOTIFYICONDATAA gone = {};
    gone.cbSize = NOTIFYICONDATAA_V1_SIZE;
    gone.hWnd = window;
    ASSERT_TRUE(RealShellNotifyIcon(NIM_DELETE, &gone));
    ASSERT_FALSE(IconShown(window));

    SendMessageA(window, TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(IconShown(window));
}

// Wine shows its icons in a small window of their own when no desktop shell
// hosts them; a click there reaches the window as the callback message.
TEST_F(NotificationAreaTest, ClicksOnTheIconHideAndShowTheWindow)
{
    HWND window = Make("Clicked");
    SetAnsweredIcons(window, LoadIcon(NULL, IDI_INFORMATION), NULL);
    ASSERT_TRUE(Attach(window, TRUE));
    ASSERT_TRUE(IconShown(window));
    HWND tray = NULL;
    ASSERT_TRUE(PumpUntil([&] {
        tray = FindWindowA("__winex11_standalone_tray", NULL);
        return tray != NULL && IsWindowVisible(tray);
    })) << "no window shows the icons";
    SetWindowPos(window, HWND_TOP, 300, 300, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);

    // The only icon is the first one, at the top left of the client area.
    POINT icon = {GetSystemMetrics(SM_CXSMICON) / 2 + 2, GetSystemMetrics(SM_CYSMICON) / 2 + 2};
    ClientToScreen(tray, &icon);
    auto click = [&] { return ClickAt(icon.x, icon.y); };

    MessageLog.clear();
    ASSERT_EQ(3u, click());
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(window); })) << "hidden by the click";
    EXPECT_EQ(0, CountMessages(window, TrayCallbackMessage())) << "taken by the module";

    // Taken for a click or a double click, it shows the hidden window.
    ASSERT_EQ(3u, click());
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(window) != FALSE; })) << "shown by the next click";
}

} // namespace
