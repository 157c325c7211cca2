// The main window's dialog procedure in this process, where its icons, its
// message results and the quit message it posts can be looked at directly.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app_state.h"
#include "main_window.h"
#include "main_window_timers.h"
#include "tray_minimize_flag.h"
#include "key_binding_set.h"
#include "resource.h"
#include "tests/support/program_test.h"

namespace {

class MainWindowTest : public ProgramTest {
protected:
    void TearDown() override
    {
        if (IsWindow(window_)) {
            DestroyWindow(window_);
        }
        ProgramTest::TearDown();
    }

    HWND Create()
    {
        window_ = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_MAIN), NULL, MainWindowProc, 0);
        MainWindowHandle = window_;
        return window_;
    }

    HWND window_ = NULL;
};

std::string Text(HWND window)
{
    char text[512];
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// "<width>x<height>" of one of the window's icons; "none" without one.
std::string IconDimensions(HWND window, WPARAM which)
{
    ICONINFO info;
    if (!GetIconInfo(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, which, 0)), &info)) {
        return "none";
    }
    BITMAP bitmap = {};
    GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return std::to_string(bitmap.bmWidth) + "x" + std::to_string(bitmap.bmHeight);
}

} // namespace

TEST_F(MainWindowTest, InitialisationSetsIconsStatusAndCheckBox)
{
    KeyBindings.binding[2] = KeyBinding{ VK_F12, 3 };
    TrayMinimize = 1;
    ASSERT_NE(nullptr, Create());
    EXPECT_FALSE(IsWindowVisible(window_));  // start-up shows it, not the template
    EXPECT_EQ(std::to_string(GetSystemMetrics(SM_CXICON)) + "x" + std::to_string(GetSystemMetrics(SM_CYICON)),
              IconDimensions(window_, ICON_BIG));
    EXPECT_EQ(std::to_string(GetSystemMetrics(SM_CXSMICON)) + "x" + std::to_string(GetSystemMetrics(SM_CYSMICON)),
              IconDimensions(window_, ICON_SMALL));
    EXPECT_EQ("The Search, Favorites, and Control+Shift+F12 keys will cause Windows Media Player to Mute, Lower, "
              "and Raise volume, until you quit this program.",
              Text(GetDlgItem(window_, IDC_MAIN_STATUS)));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(window_, IDC_MAIN_TRAY_MINIMIZE));
}

TEST_F(MainWindowTest, StatusLineFollowsTheBindings)
{
    ASSERT_NE(nullptr, Create());
    KeyBindings.binding[0] = KeyBinding{ 0xBB, 2 };
    KeyBindings.binding[1] = KeyBinding{ 0, 0 };
    KeyBindings.binding[2] = KeyBinding{ 0x04, 3 };  // the longest name, with both prefixes
    UpdateStatusText(window_);
    EXPECT_EQ("The Control++, No such key, and Control+Shift+Middle Mouse Btn keys will cause Windows Media Player "
              "to Mute, Lower, and Raise volume, until you quit this program.",
              Text(GetDlgItem(window_, IDC_MAIN_STATUS)));
}

TEST_F(MainWindowTest, EveryCommandIsHandledWithAZeroResult)
{
    ASSERT_NE(nullptr, Create());
    for (int id : { 4242, IDC_MAIN_STATUS, 0 }) {
        SetWindowLongPtrA(window_, DWLP_MSGRESULT, 55);
        EXPECT_EQ(TRUE, MainWindowProc(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0));
        EXPECT_EQ(0, GetWindowLongPtrA(window_, DWLP_MSGRESULT));
    }
    EXPECT_TRUE(IsWindow(window_));
    // Its own timers are handled the same way; anyone else's are not its business.
    SetWindowLongPtrA(window_, DWLP_MSGRESULT, 55);
    EXPECT_EQ(TRUE, MainWindowProc(window_, WM_TIMER, HookWatchdogTimer, 0));
    EXPECT_EQ(0, GetWindowLongPtrA(window_, DWLP_MSGRESULT));
    EXPECT_EQ(FALSE, MainWindowProc(window_, WM_TIMER, 1, 0));
    // Raw input is only noted: the default handling must still free it.
    EXPECT_EQ(FALSE, MainWindowProc(window_, WM_INPUT, RIM_INPUT, 0));
}

// Moved to a monitor of another scale, the window loads its icons anew at
// that scale's sizes and leaves the rest to the dialog manager.  No icon
// outlives its use.
TEST_F(MainWindowTest, ANewScaleReplacesBothIcons)
{
    ASSERT_NE(nullptr, Create());
    HICON first = reinterpret_cast<HICON>(SendMessageA(window_, WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(FALSE, MainWindowProc(window_, WM_DPICHANGED, MAKEWPARAM(168, 168), 0));
    EXPECT_EQ("56x56", IconDimensions(window_, ICON_BIG));
    EXPECT_EQ("28x28", IconDimensions(window_, ICON_SMALL));
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(first, &info)) << "the replaced icon is destroyed";
    HICON last = reinterpret_cast<HICON>(SendMessageA(window_, WM_GETICON, ICON_BIG, 0));
    DestroyWindow(window_);
    EXPECT_FALSE(GetIconInfo(last, &info)) << "the window's icons go with it";
}

TEST_F(MainWindowTest, DestroyingItClearsTheHandleAndQuitsWithZero)
{
    ASSERT_NE(nullptr, Create());
    SendMessageA(window_, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(nullptr, MainWindowHandle);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, msg.wParam);
}
