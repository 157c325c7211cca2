// TrayButton attachment and mode, on real top-level windows of this process:
// attach and its failures, both ways of taking the taskbar button away, the
// show command, the Minimize and Restore commands, the notification icon as
// handed to the shell, and the tear-down when the window is destroyed.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "tests/support/message_pump.h"
#include "tests/support/tray_fixture.h"
#include "tests/support/tray_harness.h"
#include "traybutton.h"

namespace {

typedef TrayFixture TrayButtonTest;

SIZE ClientSize(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    SIZE size = {client.right - client.left, client.bottom - client.top};
    return size;
}

POINT TopLeft(HWND window)
{
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    POINT corner = {bounds.left, bounds.top};
    return corner;
}

BOOL CALLBACK CountProperty(HWND, LPSTR, HANDLE, ULONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int CountProperties(HWND window)
{
    int count = 0;
    EnumPropsExA(window, CountProperty, reinterpret_cast<LPARAM>(&count));
    return count;
}

bool HasToolWindowStyle(HWND window)
{
    return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
}

// The bytes after uID: for deleting and focusing, all of them stay zero.
bool IdentityOnly(const NOTIFYICONDATAA& data)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&data);
    for (size_t i = offsetof(NOTIFYICONDATAA, uFlags); i < NOTIFYICONDATAA_V1_SIZE; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Attaching

TEST_F(TrayButtonTest, AttachSucceedsOnceAndASecondAttachChangesNothing)
{
    HWND window = Make();
    ASSERT_TRUE(Attach(window, TRUE));
    HANDLE record = GetPropA(window, TrayButtonName);
    LONG_PTR procedure = GetWindowLongPtrA(window, GWLP_WNDPROC);
    HWND owner = GetWindow(window, GW_OWNER);
    EXPECT_TRUE(record != NULL);
    EXPECT_NE(reinterpret_cast<LONG_PTR>(RecordingWindowProc), procedure);
    EXPECT_TRUE(owner != NULL);
    NotifyCalls.clear();

    int showCommand = SW_SHOWMINNOACTIVE;
    SetLastError(0);
    EXPECT_FALSE(AttachTrayButton(window, &showCommand, FALSE, TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_INITIALIZED), GetLastError());
    EXPECT_EQ(SW_SHOWMINNOACTIVE, showCommand);
    EXPECT_EQ(record, GetPropA(window, TrayButtonName));
    EXPECT_EQ(procedure, GetWindowLongPtrA(window, GWLP_WNDPROC));
    EXPECT_EQ(owner, GetWindow(window, GW_OWNER));
    EXPECT_FALSE(HasToolWindowStyle(window));
    EXPECT_TRUE(NotifyCalls.empty());
    EXPECT_EQ(1u, ThreadWindows(true).size()) << "no second hidden owner";

    // The first attachment still works, with its mode still on.
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(0, CountMessages(window, WM_SYSCOMMAND));
}

TEST_F(TrayButtonTest, SetTrayMinimizeFailsOnWindowsNeverAttachedOrDestroyed)
{
    HWND plain = Make();
    SetLastError(0);
    EXPECT_FALSE(SetTrayMinimize(plain, TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), GetLastError());
    EXPECT_TRUE(GetWindow(plain, GW_OWNER) == NULL);
    EXPECT_TRUE(NotifyCalls.empty());

    HWND attached = Make();
    ASSERT_TRUE(Attach(attached, TRUE));
    DestroyWindow(attached);
    SetLastError(0);
    EXPECT_FALSE(SetTrayMinimize(attached, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), GetLastError());

    SetLastError(0);
    EXPECT_FALSE(SetTrayMinimize(NULL, TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), GetLastError());
}

TEST_F(TrayButtonTest, AttachToSomethingThatIsNotAWindowFailsAndLeavesNothing)
{
    size_t owners = ThreadWindows(true).size();
    HWND destroyed = Make();
    DestroyWindow(destroyed);
    int showCommand = SW_MINIMIZE;
    SetLastError(0);
    EXPECT_FALSE(AttachTrayButton(destroyed, &showCommand, TRUE, FALSE));
    EXPECT_NE(0u, GetLastError());
    EXPECT_EQ(SW_MINIMIZE, showCommand);
    EXPECT_EQ(owners, ThreadWindows(true).size());
    EXPECT_TRUE(NotifyCalls.empty());
}

TEST_F(TrayButtonTest, AttachToAWindowOfAnotherProcessFailsAndLeavesNoProperty)
{
    // The desktop window belongs to the desktop process: its procedure cannot
    // be replaced from here.
    HWND desktop = GetDesktopWindow();
    DWORD process = 0;
    GetWindowThreadProcessId(desktop, &process);
    ASSERT_NE(GetCurrentProcessId(), process);
    size_t owners = ThreadWindows(true).size();
    SetLastError(0);
    EXPECT_FALSE(AttachTrayButton(desktop, NULL, TRUE, FALSE));
    EXPECT_NE(0u, GetLastError());
    EXPECT_TRUE(GetPropA(desktop, TrayButtonName) == NULL);
    EXPECT_EQ(owners, ThreadWindows(true).size());
    EXPECT_TRUE(CallsWith(NIM_ADD).empty());
}

TEST_F(TrayButtonTest, AttachWithoutMemoryForTheRecordFailsAndChangesNothing)
{
    HWND window = Make();
    LONG_PTR procedure = GetWindowLongPtrA(window, GWLP_WNDPROC);
    size_t owners = ThreadWindows(true).size();
    int showCommand = SW_MINIMIZE;
    FailNextHeapAlloc = true;
    SetLastError(0);
    EXPECT_FALSE(AttachTrayButton(window, &showCommand, TRUE, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_FALSE(FailNextHeapAlloc) << "the record was never asked for";
    EXPECT_EQ(SW_MINIMIZE, showCommand);
    EXPECT_TRUE(GetPropA(window, TrayButtonName) == NULL);
    EXPECT_EQ(procedure, GetWindowLongPtrA(window, GWLP_WNDPROC));
    EXPECT_EQ(owners, ThreadWindows(true).size());
    EXPECT_TRUE(NotifyCalls.empty());

    // Nothing is left that would stop a later attach.
    EXPECT_TRUE(Attach(window, FALSE));
}

// Without the callback message the icon could never bring a hidden window
// back: the attach fails instead, and changes nothing.
TEST_F(TrayButtonTest, AttachFailsWhenTheCallbackMessageCannotBeRegistered)
{
    HWND window = Make();
    LONG_PTR procedure = GetWindowLongPtrA(window, GWLP_WNDPROC);
    size_t owners = ThreadWindows(true).size();
    size_t heapBlocks = CountBusyHeapBlocks();
    int showCommand = SW_MINIMIZE;
    FailRegisteredMessage = TrayButtonName;
    SetLastError(0);
    EXPECT_FALSE(AttachTrayButton(window, &showCommand, TRUE, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_EQ(SW_MINIMIZE, showCommand);
    EXPECT_TRUE(GetPropA(window, TrayButtonName) == NULL);
    EXPECT_EQ(procedure, GetWindowLongPtrA(window, GWLP_WNDPROC));
    EXPECT_EQ(owners, ThreadWindows(true).size());
    EXPECT_EQ(heapBlocks, CountBusyHeapBlocks()) << "the record was freed";
    EXPECT_TRUE(NotifyCalls.empty());
    EXPECT_TRUE(IsWindowVisible(window));
}

// A message id that could not be registered is 0, which is WM_NULL: WM_NULL
// must stay WM_NULL.
TEST_F(TrayButtonTest, UnregisteredTaskbarMessageNeverMatchesWmNull)
{
    HWND window = Make();
    FailRegisteredMessage = "TaskbarCreated";
    ASSERT_TRUE(Attach(window, TRUE));
    FailRegisteredMessage.clear();
    NotifyCalls.clear();
    MessageLog.clear();

    SendMessageA(window, WM_NULL, 0, 0);
    EXPECT_TRUE(CallsWith(NIM_ADD).empty());
    EXPECT_EQ(1, CountMessages(window, WM_NULL));

    // The icon's own messages still work.
    EXPECT_EQ(0, SendTrayMouseEvent(window, WM_LBUTTONDOWN));
    EXPECT_FALSE(IsWindowVisible(window));
    // And WM_NULL carrying a mouse event is not taken for the icon's.
    SendMessageA(window, WM_NULL, 0, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(2, CountMessages(window, WM_NULL));
}

TEST_F(TrayButtonTest, WmNullIsNeverTakenForTheIconsMessage)
{
    HWND window = Make();
    ASSERT_TRUE(Attach(window, TRUE));
    ASSERT_NE(0u, TrayCallbackMessage());
    MessageLog.clear();
    SendMessageA(window, WM_NULL, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(1, CountMessages(window, WM_NULL));
}

// The record is stored before the procedure is replaced; should someone
// take it away, the procedure must carry on without it.
TEST_F(TrayButtonTest, SubclassWithoutItsRecordDoesNotCrash)
{
    HWND window = Make();
    ASSERT_TRUE(Attach(window, TRUE));
    HWND owner = GetWindow(window, GW_OWNER);
    HANDLE record = RemovePropA(window, TrayButtonName);
    ASSERT_TRUE(record != NULL);

    // Still recognised as attached by its procedure.
    SetLastError(0);
    EXPECT_FALSE(Attach(window, TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_INITIALIZED), GetLastError());

    MessageLog.clear();
    EXPECT_EQ(0, SendTrayMouseEvent(window, WM_LBUTTONDOWN));
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSystemMenu(window, FALSE)), MAKELPARAM(0, 1));
    SendMessageA(window, TaskbarCreatedMessage(), 0, 0);
    char title[64] = "";
    EXPECT_EQ(9, GetWindowTextA(window, title, sizeof(title)));
    SetWindowLongPtrA(window, GWLP_HWNDPARENT, 0);
    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(window));

    // What the test took away is the test's to free.
    DestroyWindow(owner);
    HeapFree(GetProcessHeap(), 0, record);
}

// ---------------------------------------------------------------------------
// Owner variant

TEST_F(TrayButtonTest, OwnerVariantOwnsTheWindowOnlyWhileTheModeIsOn)
{
    HWND window = Make();
    ASSERT_TRUE(Attach(window, TRUE));
    HWND owner = GetWindow(window, GW_OWNER);
    ASSERT_TRUE(owner != NULL);
    EXPECT_EQ(owner, reinterpret_cast<HWND>(GetWindowLongPtrA(window, GWLP_HWNDPARENT)));

    char className[128] = "";
    GetClassNameA(owner, className, sizeof(className));
    EXPECT_STREQ(TrayButtonName, className);
    char title[16] = "x";
    GetWindowTextA(owner, title, sizeof(title));
    EXPECT_STREQ("", title);
    EXPECT_EQ(static_cast<LONG>(WS_POPUP), GetWindowLongA(owner, GWL_STYLE) & ~WS_CLIPSIBLINGS);
    EXPECT_EQ(0, GetWindowLongA(owner, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE);
    EXPECT_TRUE(GetWindow(owner, GW_OWNER) == NULL);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_HINSTANCE), GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(owner, NULL));
    RECT bounds = {1, 1, 1, 1};
    GetWindowRect(owner, &bounds);
    EXPECT_EQ(0, bounds.right - bounds.left);
    EXPECT_EQ(0, bounds.bottom - bounds.top);

    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_FALSE(HasToolWindowStyle(window));

    ASSERT_TRUE(SetTrayMinimize(window, FALSE));
    EXPECT_TRUE(GetWindow(window, GW_OWNER) == NULL);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsWindowVisible(owner));

    ASSERT_TRUE(SetTrayMinimize(window, TRUE));
    EXPECT_EQ(owner, GetWindow(window, GW_OWNER));
    EXPECT_TRUE(IsWindowVisible(window));

    // Switching while hidden leaves the window hidden.
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(SetTrayMinimize(window, FALSE));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindow(window, GW_OWNER) == NULL);
    ASSERT_TRUE(SetTrayMinimize(window, TRUE));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(owner, GetWindow(window, GW_OWNER));

    // Everything the window goes through leaves the owner unseen.
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    SendMessageA(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    PumpMessages();
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_EQ(1u, ThreadWindows(true).size());
}

TEST_F(TrayButtonTest, AttachingWithTheModeOffLeavesTheWindowUnownedAndDeletesTheIcon)
{
    HWND window = Make();
    ASSERT_TRUE(Attach(window, FALSE));
    EXPECT_TRUE(GetWindow(window, GW_OWNER) == NULL);
    EXPECT_EQ(1u, ThreadWindows(true).size()) << "the owner exists for a later switch";
    EXPECT_TRUE(CallsWith(NIM_ADD).empty());
    ASSERT_EQ(1u, CallsWith(NIM_DELETE).size());
    EXPECT_TRUE(IsWindowVisible(window));

    // The tool-window variant keeps its taskbar button too.
    HWND tool = Make("Tool");
    ASSERT_TRUE(Attach(tool, FALSE, TRUE));
    EXPECT_FALSE(HasToolWindowStyle(tool));
    EXPECT_TRUE(GetWindow(tool, GW_OWNER) == NULL && IsWindowVisible(tool));
}

// ---------------------------------------------------------------------------
// Tool-window variant

void ExpectToolWindowSwitchKeepsClientArea(HWND window, BOOL mode)
{
    SIZE client = ClientSize(window);
    POINT corner = TopLeft(window);
    ASSERT_TRUE(SetTrayMinimize(window, mode));
    EXPECT_EQ(mode != FALSE, HasToolWindowStyle(window));
    EXPECT_EQ(client.cx, ClientSize(window).cx);
    EXPECT_EQ(client.cy, ClientSize(window).cy);
    EXPECT_EQ(corner.x, TopLeft(window).x);
    EXPECT_EQ(corner.y, TopLeft(window).y);
    EXPECT_TRUE(GetWindow(window, GW_OWNER) == NULL);
}

TEST_F(TrayButtonTest, ToolWindowVariantSwitchesTheStyleAndKeepsTheClientArea)
{
    HWND window = Make("Tool", true, WS_OVERLAPPEDWINDOW, 150, 120);
    size_t owners = ThreadWindows(true).size();
    SIZE client = ClientSize(window);
    RECT before = {};
    GetWindowRect(window, &before);
    ASSERT_TRUE(Attach(window, TRUE, TRUE));
    EXPECT_TRUE(HasToolWindowStyle(window));
    EXPECT_TRUE(GetWindow(window, GW_OWNER) == NULL);
    EXPECT_EQ(owners, ThreadWindows(true).size()) << "no hidden owner in this variant";
    EXPECT_EQ(client.cx, ClientSize(window).cx);
    EXPECT_EQ(client.cy, ClientSize(window).cy);
    RECT after = {};
    GetWindowRect(window, &after);
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.top, after.top);
    // The smaller caption really changed the frame, so the size was adjusted.
    EXPECT_NE(before.bottom - before.top, after.bottom - after.top);
    EXPECT_TRUE(IsWindowVisible(window));

    ExpectToolWindowSwitchKeepsClientArea(window, FALSE);
    EXPECT_TRUE(IsWindowVisible(window));
    ExpectToolWindowSwitchKeepsClientArea(window, TRUE);
    ExpectToolWindowSwitchKeepsClientArea(window, TRUE);

    // Hidden, the switches keep it hidden and keep its size.
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_FALSE(IsWindowVisible(window));
    ExpectToolWindowSwitchKeepsClientArea(window, FALSE);
    EXPECT_FALSE(IsWindowVisible(window));
    ExpectToolWindowSwitchKeepsClientArea(window, TRUE);
    EXPECT_FALSE(IsWindowVisible(window));

    // Other extended style bits are left as they were.
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
    ExpectToolWindowSwitchKeepsClientArea(window, FALSE);
    EXPECT_NE(0, GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

TEST_F(TrayButtonTest, ToolWindowVariantStandsInWhenTheOwnerCannotBeCreated)
{
    HWND window = Make();
    size_t owners = ThreadWindows(true).size();
    FailOwnerWindowCreation = true;
    ASSERT_TRUE(Attach(window, TRUE, FALSE));
    FailOwnerWindowCreation = false;
    EXPECT_EQ(owners, ThreadWindows(true).size());
    EXPECT_TRUE(GetWindow(window, GW_OWNER) == NULL);
    EXPECT_TRUE(HasToolWindowStyle(window));
    ExpectToolWindowSwitchKeepsClientArea(window, FALSE);
    ExpectToolWindowSwitchKeepsClientArea(window, TRUE);
}

// ---------------------------------------------------------------------------
// The show command

TEST_F(TrayButtonTest, OnlyMinimizingShowCommandsBecomeHideAndOnlyWithTheModeOn)
{
    const int commands[] = {SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE,
                            SW_SHOW, SW_MINIMIZE, SW_SHOWMINNOACTIVE, SW_SHOWNA, SW_RESTORE, SW_SHOWDEFAULT,
                            SW_FORCEMINIMIZE, 12, -1, 100};
    for (int command : commands) {
        for (BOOL mode = FALSE; mode <= TRUE; ++mode) {
            for (BOOL noOwner = FALSE; noOwner <= TRUE; ++noOwner) {
                HWND window = Make("Show", false);
                int showCommand = command;
                ASSERT_TRUE(AttachTrayButton(window, &showCommand, mode, noOwner));
                bool minimizing = command == SW_SHOWMINIMIZED || command == SW_MINIMIZE ||
                                  command == SW_SHOWMINNOACTIVE || command == SW_FORCEMINIMIZE;
                EXPECT_EQ(mode && minimizing ? SW_HIDE : command, showCommand)
                    << "command " << command << ", mode " << mode << ", noOwner " << noOwner;
                DestroyWindow(window);
            }
        }
    }
}

TEST_F(TrayButtonTest, NoShowCommandToAdjustIsAccepted)
{
    HWND window = Make();
    EXPECT_TRUE(AttachTrayButton(window, NULL, TRUE, FALSE));
}

// A window started minimized in mode on is shown normal once more the first
// time a switch finds it visible, and never again.
TEST_F(TrayButtonTest, SavedShowCommandIsUsedOnceByTheFirstSwitchThatFindsTheWindowVisible)
{
    HWND window = Make("Started minimized", false);
    int showCommand = SW_SHOWMINNOACTIVE;
    ASSERT_TRUE(AttachTrayButton(window, &showCommand, TRUE, FALSE));
    ASSERT_EQ(SW_HIDE, showCommand);
    ShowWindow(window, showCommand);
    EXPECT_FALSE(IsWindowVisible(window));

    // A switch while hidden does not use it.
    ASSERT_TRUE(SetTrayMinimize(window, TRUE));

    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    ASSERT_TRUE(IsWindowVisible(window));
    ShowWindow(window, SW_SHOWMAXIMIZED);
    ASSERT_TRUE(IsZoomed(window));
    ASSERT_TRUE(SetTrayMinimize(window, FALSE));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsZoomed(window)) << "shown normal once more";
    EXPECT_FALSE(IsIconic(window));

    ShowWindow(window, SW_SHOWMAXIMIZED);
    ASSERT_TRUE(SetTrayMinimize(window, TRUE));
    EXPECT_TRUE(IsZoomed(window)) << "only once";
    ASSERT_TRUE(SetTrayMinimize(window, FALSE));
    EXPECT_TRUE(IsZoomed(window));
}

TEST_F(TrayButtonTest, ToolWindowVariantDoesNotUseTheSavedShowCommand)
{
    HWND window = Make("Started minimized", false);
    int showCommand = SW_MINIMIZE;
    ASSERT_TRUE(AttachTrayButton(window, &showCommand, TRUE, TRUE));
    ASSERT_EQ(SW_HIDE, showCommand);
    ShowWindow(window, SW_SHOWMAXIMIZED);
    ASSERT_TRUE(SetTrayMinimize(window, FALSE));
    EXPECT_TRUE(IsZoomed(window));
}

// ---------------------------------------------------------------------------
// Minimize and Restore

TEST_F(TrayButtonTest, WithTheModeOnMinimizeHidesAndRestoreShowsWithoutReachingTheWindow)
{
    HWND window = Make();
    ASSERT_TRUE(Attach(window, TRUE));
    MessageLog.clear();

    EXPECT_EQ(0, SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));

    EXPECT_EQ(0, SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));

    // The low four bits are the system's own and do not count.
    EXPECT_EQ(0, SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE | 2, 0));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(0, SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE | 2, 0));
    EXPECT_TRUE(IsWindowVisible(window));

    // Restore on a visible, normal window does nothing.
    RECT before = {};
    GetWindowRect(window, &before);
    EXPECT_EQ(0, SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0));
    RECT after = {};
    GetWindowRect(window, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(0, CountMessages(window, WM_SYSCOMMAND));

    // Other commands reach the window: Maximize maximizes it...
    SendMessageA(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_EQ(1, CountMessages(window, WM_SYSCOMMAND));
    ASSERT_TRUE(IsZoomed(window));
    // ...and Restore makes a visible maximized window normal.
    EXPECT_EQ(0, SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0));
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(1, CountMessages(window, WM_SYSCOMMAND));

    // A maximized window hidden by Minimize comes back maximized.
    ShowWindow(window, SW_SHOWMAXIMIZED);
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(window));
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_EQ(1, CountMessages(window, WM_SYSCOMMAND));
}

TEST_F(TrayButtonTest, WithTheModeOffMinimizeAndRestoreReachTheWindow)
{
    for (BOOL noOwner = FALSE; noOwner <= TRUE; ++noOwner) {
        HWND window = Make();
        ASSERT_TRUE(Attach(window, FALSE, noOwner));
        MessageLog.clear();
        SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_TRUE(IsIconic(window));
        EXPECT_TRUE(IsWindowVisible(window));
        SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        EXPECT_FALSE(IsIconic(window));
        ASSERT_EQ(2, CountMessages(window, WM_SYSCOMMAND));
        EXPECT_EQ(static_cast<WPARAM>(SC_MINIMIZE), FindMessage(window, WM_SYSCOMMAND)->wParam);

        // And again after the mode was on and off.
        ASSERT_TRUE(SetTrayMinimize(window, TRUE));
        ASSERT_TRUE(SetTrayMinimize(window, FALSE));
        SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_TRUE(IsIconic(window));
        EXPECT_EQ(3, CountMessages(window, WM_SYSCOMMAND));
    }
}

// ---------------------------------------------------------------------------
// The notification icon, as handed to the shell

// An icon's width and height, then its colour bits; empty for no icon.
std::vector<LONG> IconImage(HICON icon)
{
    ICONINFO info = {};
    BITMAP bitmap = {};
    std::vector<LONG> image;
    if (icon != NULL && GetIconInfo(icon, &info) && GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap) != 0) {
        image.assign(2 + (bitmap.bmWidthBytes * bitmap.bmHeight + 3) / sizeof(LONG), 0);
        image[0] = bitmap.bmWidth;
        image[1] = bitmap.bmHeight;
        GetBitmapBits(info.hbmColor, bitmap.bmWidthBytes * bitmap.bmHeight, &image[2]);
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return image;
}

// The icon is the module's own copy of windowIcon, side pixels square.
void ExpectIconAdded(const NotifyCall& call, HWND window, HICON windowIcon, const char* tip,
                     DWORD message = NIM_ADD, int side = 0)
{
    EXPECT_EQ(message, call.message);
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), call.cbSize);
    EXPECT_EQ(window, call.data.hWnd);
    EXPECT_EQ(0u, call.data.uID);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), call.data.uFlags);
    EXPECT_EQ(TrayCallbackMessage(), call.data.uCallbackMessage);
    side = side != 0 ? side : GetSystemMetrics(SM_CXSMICON);
    HICON copy = static_cast<HICON>(CopyImage(windowIcon, IMAGE_ICON, side, side, LR_COPYFROMRESOURCE));
    EXPECT_TRUE(windowIcon == NULL || call.data.hIcon != windowIcon);
    EXPECT_EQ(IconImage(copy), IconImage(call.data.hIcon));
    DestroyIcon(copy);
    EXPECT_STREQ(tip, call.data.szTip);
}

void ExpectIconIdentityOnly(const NotifyCall& call, HWND window)
{
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), call.cbSize);
    EXPECT_EQ(window, call.data.hWnd);
    EXPECT_EQ(0u, call.data.uID);
    EXPECT_TRUE(IdentityOnly(call.data));
}

TEST_F(TrayButtonTest, TheIconIsDescribedInTheFirstFormOfThisBuild)
{
    // 88 bytes is that form only on 32-bit; on 64-bit the shell refuses 88.
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, szTip) + 64, static_cast<size_t>(NOTIFYICONDATAA_V1_SIZE));
    if (sizeof(void*) == 8) {
        EXPECT_LT(88u, static_cast<size_t>(NOTIFYICONDATAA_V1_SIZE));
    } else {
        EXPECT_EQ(88u, static_cast<size_t>(NOTIFYICONDATAA_V1_SIZE));
    }
}

TEST_F(TrayButtonTest, ModeOnAddsTheIconWithTheSmallIconAndTheWindowText)
{
    HICON small = LoadIcon(NULL, IDI_INFORMATION);
    HICON big = LoadIcon(NULL, IDI_APPLICATION);
    for (BOOL noOwner = FALSE; noOwner <= TRUE; ++noOwner) {
        HWND window = Make("Volume keys");
        SetAnsweredIcons(window, small, big);
        NotifyCalls.clear();
        ASSERT_TRUE(Attach(window, TRUE, noOwner));
        ASSERT_EQ(1u, NotifyCalls.size());
        ExpectIconAdded(NotifyCalls[0], window, small, "Volume keys");

        // The tip is the text at the time the icon is added.
        SetWindowTextA(window, "Renamed");
        NotifyCalls.clear();
        ASSERT_TRUE(SetTrayMinimize(window, TRUE));
        ASSERT_EQ(1u, CallsWith(NIM_ADD).size());
        ExpectIconAdded(CallsWith(NIM_ADD)[0], window, small, "Renamed");
    }
}

TEST_F(TrayButtonTest, WithoutASmallIconTheBigOneIsUsedAndWithoutEitherNone)
{
    HICON big = LoadIcon(NULL, IDI_APPLICATION);
    HWND bigOnly = Make("Big");
    SetAnsweredIcons(bigOnly, NULL, big);
    ASSERT_TRUE(Attach(bigOnly, TRUE));
    ASSERT_EQ(1u, CallsWith(NIM_ADD).size());
    ExpectIconAdded(CallsWith(NIM_ADD)[0], bigOnly, big, "Big");

    NotifyCalls.clear();
    HWND none = Make("None");
    ASSERT_TRUE(Attach(none, TRUE));
    ASSERT_EQ(1u, CallsWith(NIM_ADD).size());
    ExpectIconAdded(CallsWith(NIM_ADD)[0], none, NULL, "None");
}

TEST_F(TrayButtonTest, TheTipHoldsAtMost63CharactersOfTheText)
{
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-+";
    const std::string texts[] = {"", "x", alphabet.substr(0, 62), alphabet.substr(0, 63), alphabet,
                                 alphabet + alphabet};
    for (const std::string& text : texts) {
        HWND window = Make(text.c_str());
        NotifyCalls.clear();
        ASSERT_TRUE(Attach(window, TRUE));
        ASSERT_EQ(1u, CallsWith(NIM_ADD).size());
        const NotifyCall call = CallsWith(NIM_ADD)[0];
        EXPECT_EQ(text.substr(0, 63), std::string(call.data.szTip)) << text.size() << " characters";
        // Nothing is written past the first form's tip.
        EXPECT_EQ(0, call.data.szTip[63]);
        DestroyWindow(window);
    }
}

TEST_F(TrayButtonTest, ModeOffAndDestructionDeleteTheIcon)
{
    for (BOOL noOwner = FALSE; noOwner <= TRUE; ++noOwner) {
        HWND window = Make();
        ASSERT_TRUE(Attach(window, TRUE, noOwner));
        NotifyCalls.clear();
        ASSERT_TRUE(SetTrayMinimize(window, FALSE));
        ASSERT_EQ(1u, NotifyCalls.size());
        EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), NotifyCalls[0].message);
        ExpectIconIdentityOnly(NotifyCalls[0], window);

        ASSERT_TRUE(SetTrayMinimize(window, TRUE));
        NotifyCalls.clear();
        DestroyWindow(window);
        ASSERT_EQ(1u, NotifyCalls.size());
        EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), NotifyCalls[0].message);
        ExpectIconIdentityOnly(NotifyCalls[0], window);
    }
}

// The shell sends TaskbarCreated to every top-level window when a new
// taskbar starts, which holds no icons.
TEST_F(TrayButtonTest, ANewTaskbarGetsTheIconAgainWhileTheModeIsOn)
{
    HICON small = LoadIcon(NULL, IDI_INFORMATION);
    HWND window = Make("Restarted");
    SetAnsweredIcons(window, small, NULL);
    ASSERT_TRUE(Attach(window, TRUE));
    NotifyCalls.clear();
    MessageLog.clear();

    // The new taskbar holds no icon to change.
    RefusedShellCalls = 1;
    SendMessageA(window, TaskbarCreatedMessage(), 0, 0);
    ASSERT_EQ(2u, NotifyCalls.size());
    ExpectIconAdded(NotifyCalls[0], window, small, "Restarted", NIM_MODIFY);
    ExpectIconAdded(NotifyCalls[1], window, small, "Restarted");
    EXPECT_EQ(1, CountMessages(window, TaskbarCreatedMessage()));

    // Hidden in mode on, the icon is the only way back: it returns too.
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    RefusedShellCalls = 1;
    NotifyCalls.clear();
    SendMessageA(window, TaskbarCreatedMessage(), 0, 0);
    EXPECT_EQ(1u, CallsWith(NIM_ADD).size());

    ASSERT_TRUE(SetTrayMinimize(window, FALSE));
    NotifyCalls.clear();
    MessageLog.clear();
    SendMessageA(window, TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(NotifyCalls.empty());
    EXPECT_EQ(1, CountMessages(window, TaskbarCreatedMessage()));
}

// Wine never changes the main display's scale: the test tells the module it.
TEST_F(TrayButtonTest, TheIconsCopyIsMadeAnewAtTheMainDisplaysScaleWhenDisplaysChange)
{
    HICON small = LoadIcon(NULL, IDI_INFORMATION);
    HWND window = Make("Scaled");
    SetAnsweredIcons(window, small, NULL);
    ASSERT_TRUE(Attach(window, TRUE));
    for (UINT message : {static_cast<UINT>(WM_DISPLAYCHANGE), TaskbarCreatedMessage()}) {
        HICON before = NotifyCalls.back().data.hIcon;
        MainDisplayDpi = message == WM_DISPLAYCHANGE ? 144 : 192;
        NotifyCalls.clear();
        SendMessageA(window, message, 0, 0);
        ASSERT_EQ(1u, NotifyCalls.size()) << "changed where it is, not added";
        ExpectIconAdded(NotifyCalls[0], window, small, "Scaled", NIM_MODIFY, MainDisplayDpi / 6);
        EXPECT_TRUE(IconImage(before).empty()) << "the copy it replaced is destroyed";
    }
    ASSERT_TRUE(SetTrayMinimize(window, FALSE));
    NotifyCalls.clear();
    SendMessageA(window, WM_DISPLAYCHANGE, 0, 0);
    EXPECT_TRUE(NotifyCalls.empty()) << "with the mode off, no icon";
}

// The program's own icons are loaded without LR_SHARED, so Windows makes no
// copy of them from their resource through CopyImage.  Here the window is on
// a monitor at 100 % and the main display at 150 %.
TEST_F(TrayButtonTest, TheIconsCopyIsTheImageItsResourceHasForTheTraysSize)
{
    HICON own = static_cast<HICON>(LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, 0));
    HICON drawn = static_cast<HICON>(LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(1), IMAGE_ICON, 24, 24, 0));
    HWND window = Make("Own icon");
    SetAnsweredIcons(window, own, NULL);
    MainDisplayDpi = 144;
    RefuseCopyFromResource = true;
    ASSERT_TRUE(Attach(window, TRUE));
    EXPECT_EQ(IconImage(drawn), IconImage(CallsWith(NIM_ADD).at(0).data.hIcon));
    DestroyIcon(own);
    DestroyIcon(drawn);
}

// At sign-in the taskbar can exist and be too busy to take the icon.
TEST_F(TrayButtonTest, ARefusedIconIsTriedAgainUntilItIsAddedOrTheWindowShowsAtTheBound)
{
    HWND window = Make("Busy shell", false);
    RefusedShellCalls = 6; // NIM_ADD and NIM_MODIFY, three times
    ASSERT_TRUE(Attach(window, TRUE, FALSE, SW_SHOWMINNOACTIVE));
    ASSERT_TRUE(PumpUntil([] { return CallsWith(NIM_ADD).size() == 4; }));
    EXPECT_TRUE(CallsWith(NIM_ADD).back().result);
    EXPECT_FALSE(KillTimer(window, TRAYBUTTON_TIMER_ID)) << "no timer is left";
    EXPECT_FALSE(IsWindowVisible(window));

    // An Explorer that restarts, and refuses again, more often than the bound
    // does not hold the window back.
    RefusedShellCalls = -1;
    DWORD start = GetTickCount();
    ASSERT_TRUE(SetTrayMinimize(window, TRUE));
    ASSERT_TRUE(PumpUntil([&] {
        SendMessageA(window, TaskbarCreatedMessage(), 0, 0);
        return IsWindowVisible(window) != FALSE;
    }, 30000));
    EXPECT_GE(GetTickCount() - start, static_cast<DWORD>(TRAYBUTTON_GIVE_UP_MS));
    EXPECT_FALSE(IsIconic(window));
    // Still without an icon, Minimize must not hide the window again.
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsWindowVisible(window) && IsIconic(window));
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(window));
    ASSERT_TRUE(SetTrayMinimize(window, FALSE));
    EXPECT_FALSE(KillTimer(window, TRAYBUTTON_TIMER_ID)) << "gone with the mode";
}

// Under Wine no message is filtered, so only the call itself can be seen.
TEST_F(TrayButtonTest, TaskbarCreatedIsLetThroughToAnElevatedWindowWhereTheSystemCan)
{
    HWND window = Make();
    ASSERT_TRUE(Attach(window, FALSE));
    ASSERT_EQ(1u, MessageFilterCalls.size());
    EXPECT_EQ(window, MessageFilterCalls[0].window);
    EXPECT_EQ(TaskbarCreatedMessage(), MessageFilterCalls[0].message);
    EXPECT_EQ(static_cast<DWORD>(MSGFLT_ALLOW), MessageFilterCalls[0].action);
    EXPECT_EQ(nullptr, MessageFilterCalls[0].details);

    // Where the system has no such function, attaching works as ever.
    HideMessageFilter = true;
    MessageFilterCalls.clear();
    HWND older = Make();
    ASSERT_TRUE(Attach(older, TRUE));
    EXPECT_TRUE(MessageFilterCalls.empty());
    RefusedShellCalls = 1;
    NotifyCalls.clear();
    SendMessageA(older, TaskbarCreatedMessage(), 0, 0);
    EXPECT_EQ(1u, CallsWith(NIM_ADD).size());
}

// ---------------------------------------------------------------------------
// Tear-down

TEST_F(TrayButtonTest, DestroyingTheWindowTakesTheModuleApart)
{
    for (BOOL noOwner = FALSE; noOwner <= TRUE; ++noOwner) {
        for (BOOL mode = FALSE; mode <= TRUE; ++mode) {
            std::vector<HWND> before = ThreadWindows();
            HWND window = Make();
            int properties = CountProperties(window);
            ASSERT_TRUE(Attach(window, mode, noOwner));
            const void* record = GetPropA(window, TrayButtonName);
            ASSERT_TRUE(IsBusyHeapBlock(record));
            HWND owner = noOwner ? NULL : ThreadWindows(true).front();
            NotifyCalls.clear();
            DestroySnapshots.clear();
            MessageLog.clear();

            DestroyWindow(window);

            // The window's own procedure still got WM_DESTROY, by then with
            // its procedure back and nothing of the module left on it.
            ASSERT_EQ(1u, DestroySnapshots.size());
            const DestroySnapshot& seen = DestroySnapshots[0];
            EXPECT_EQ(window, seen.window);
            EXPECT_TRUE(seen.property == NULL);
            EXPECT_EQ(properties, seen.propertyCount);
            EXPECT_EQ(reinterpret_cast<LONG_PTR>(RecordingWindowProc), seen.procedure);
            EXPECT_TRUE(seen.owner == NULL);
            EXPECT_EQ(1, CountMessages(window, WM_DESTROY));
            ASSERT_EQ(1u, CallsWith(NIM_DELETE).size());
            ExpectIconIdentityOnly(CallsWith(NIM_DELETE)[0], window);

            if (owner != NULL) {
                EXPECT_FALSE(IsWindow(owner));
            }
            EXPECT_FALSE(IsBusyHeapBlock(record));
            EXPECT_EQ(before.size(), ThreadWindows().size());
            SetLastError(0);
            EXPECT_FALSE(SetTrayMinimize(window, TRUE));
            EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), GetLastError());
        }
    }
}

// Many attach and destroy cycles leave no window, property or heap record
// behind.
TEST_F(TrayButtonTest, ManyAttachAndDestroyCyclesLeakNothing)
{
    const int cycles = 300;
    auto cycle = [](int index) {
        HWND window = CreateTestWindow("Cycle", 100, 100, 320, 240, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        int showCommand = SW_SHOWMINIMIZED;
        AttachTrayButton(window, &showCommand, index % 2, index % 3 == 0);
        SetTrayMinimize(window, (index + 1) % 2);
        SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        SendMessageA(window, TaskbarCreatedMessage(), 0, 0);
        DestroyWindow(window);
        PumpMessages();
    };
    LogMessages = false;
    for (int i = 0; i < 20; ++i) {
        cycle(i);
    }
    NotifyCalls.clear();
    NotifyCalls.reserve(cycles * 8);
    size_t windows = ThreadWindows().size();
    size_t heapBlocks = CountBusyHeapBlocks();
    for (int i = 0; i < cycles; ++i) {
        cycle(i);
    }
    size_t heapBlocksAfter = CountBusyHeapBlocks();
    EXPECT_EQ(windows, ThreadWindows().size());
    // One record per cycle would be 300 more blocks; allow for the system's
    // own caches.
    EXPECT_LT(heapBlocksAfter, heapBlocks + cycles / 10)
        << "busy blocks before " << heapBlocks << ", after " << heapBlocksAfter;
}

} // namespace
