// What happens at the notification icon: the callback message as the shell
// sends it, the left-click rule with the front-window test over real windows
// of this process, the system menu's items, and the menu popped up at the
// icon, tracked for real and then dismissed or answered from the test.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/tray_fixture.h"
#include "tests/support/tray_harness.h"
#include "traybutton.h"

namespace {

typedef TrayFixture TrayIconTest;

const LPARAM AcceleratorPosition = static_cast<LPARAM>(static_cast<DWORD>(0xFFFF0000u));

void Raise(HWND window)
{
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Whether above lies above below in the Z order.
bool IsAbove(HWND above, HWND below)
{
    for (HWND window = GetWindow(above, GW_HWNDNEXT); window != NULL; window = GetWindow(window, GW_HWNDNEXT)) {
        if (window == below) {
            return true;
        }
    }
    return false;
}

// Attached in mode on, visible and at the top of the Z order.
HWND AttachedInFront(HWND window)
{
    EXPECT_TRUE(AttachTrayButton(window, NULL, TRUE, FALSE));
    Raise(window);
    PumpMessages();
    ForegroundCalls.clear();
    NotifyCalls.clear();
    MessageLog.clear();
    return window;
}

// ---------------------------------------------------------------------------
// The callback message

TEST_F(TrayIconTest, OtherMouseEventsDoNothingAndReturnZero)
{
    const LPARAM others[] = {WM_MOUSEMOVE,     WM_LBUTTONUP,   WM_RBUTTONUP,   WM_RBUTTONDBLCLK,
                             WM_MBUTTONDOWN,   WM_MBUTTONUP,   WM_MBUTTONDBLCLK, WM_CONTEXTMENU,
                             WM_USER,          WM_USER + 1,    0,              0x12345};
    HWND visible = AttachedInFront(Make("Visible"));
    HWND hidden = Make("Hidden");
    ASSERT_TRUE(Attach(hidden, TRUE));
    SendMessageA(hidden, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_FALSE(IsWindowVisible(hidden));
    ForegroundCalls.clear();
    NotifyCalls.clear();
    MessageLog.clear();

    for (LPARAM event : others) {
        EXPECT_EQ(0, SendTrayMouseEvent(visible, event)) << event;
        EXPECT_EQ(0, SendTrayMouseEvent(hidden, event)) << event;
    }
    EXPECT_TRUE(IsWindowVisible(visible));
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_TRUE(ForegroundCalls.empty());
    EXPECT_TRUE(NotifyCalls.empty());
    // The callback message never reaches the window's own procedure, and
    // no menu was opened.
    EXPECT_EQ(0, CountMessages(visible, TrayCallbackMessage()));
    EXPECT_EQ(0, CountMessages(hidden, TrayCallbackMessage()));
    EXPECT_EQ(0, CountMessages(visible, WM_INITMENUPOPUP));
    EXPECT_EQ(0, CountMessages(hidden, WM_INITMENUPOPUP));
}

TEST_F(TrayIconTest, LeftClickOnAHiddenWindowShowsItAndBringsItToTheForeground)
{
    HWND window = Make();
    ASSERT_TRUE(Attach(window, TRUE));
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    HWND other = Make("Other");
    SetForegroundWindow(other);
    PumpMessages();
    ForegroundCalls.clear();
    MessageLog.clear();

    EXPECT_EQ(0, SendTrayMouseEvent(window, WM_LBUTTONDOWN));
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    ASSERT_EQ(1u, ForegroundCalls.size());
    EXPECT_EQ(window, ForegroundCalls[0]);
    EXPECT_EQ(window, GetForegroundWindow());
    EXPECT_EQ(0, CountMessages(window, TrayCallbackMessage()));
}

TEST_F(TrayIconTest, LeftClickHidesTheWindowInFront)
{
    HWND below = Make("Below");
    HWND window = AttachedInFront(Make());
    ASSERT_TRUE(IsAbove(window, below));
    EXPECT_EQ(0, SendTrayMouseEvent(window, WM_LBUTTONDOWN));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(ForegroundCalls.empty());
}

TEST_F(TrayIconTest, TheModeIsNotConsultedForClicks)
{
    HWND window = Make();
    ASSERT_TRUE(Attach(window, FALSE));
    Raise(window);
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window));
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(TrayIconTest, DoubleClickHidesOnTheButtonDownAndShowsOnTheDoubleClick)
{
    HWND window = AttachedInFront(Make());
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window));
    SendTrayMouseEvent(window, WM_LBUTTONUP);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(0, SendTrayMouseEvent(window, WM_LBUTTONDBLCLK));
    EXPECT_TRUE(IsWindowVisible(window));
    // A double click alone, over the window in front, hides it too.
    Raise(window);
    SendTrayMouseEvent(window, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(TrayIconTest, LeftClickOnACoveredWindowRaisesItAndKeepsItShown)
{
    HWND window = AttachedInFront(Make());
    HWND cover = Make("Cover", true, WS_OVERLAPPEDWINDOW, 200, 150);
    SetForegroundWindow(cover);
    Raise(cover);
    PumpMessages();
    ASSERT_TRUE(IsAbove(cover, window));
    ForegroundCalls.clear();

    EXPECT_EQ(0, SendTrayMouseEvent(window, WM_LBUTTONDOWN));
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(window));
    ASSERT_EQ(1u, ForegroundCalls.size());
    EXPECT_EQ(window, ForegroundCalls[0]);
    EXPECT_EQ(window, GetForegroundWindow());
}

// Any qualifying window above counts as cover, wherever it lies on screen.
TEST_F(TrayIconTest, AWindowAboveCoversEvenWhereItDoesNotOverlap)
{
    HWND window = AttachedInFront(Make("Left", true, WS_OVERLAPPEDWINDOW, 0, 0, 200, 200));
    HWND cover = Make("Right", true, WS_OVERLAPPEDWINDOW, 600, 400, 200, 200);
    Raise(cover);
    ForegroundCalls.clear();
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(1u, ForegroundCalls.size());
}

TEST_F(TrayIconTest, AWindowCoveredOnlyByTopmostWindowsCountsAsInFront)
{
    HWND window = AttachedInFront(Make());
    HWND topmost = Make("Topmost", true, WS_OVERLAPPEDWINDOW, 120, 120, 320, 240, WS_EX_TOPMOST);
    ASSERT_NE(0, GetWindowLongA(topmost, GWL_EXSTYLE) & WS_EX_TOPMOST);
    ASSERT_TRUE(IsAbove(topmost, window));
    ForegroundCalls.clear();

    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(ForegroundCalls.empty());
}

TEST_F(TrayIconTest, ATopmostWindowCountsItselfEvenBelowOtherTopmostWindows)
{
    HWND window = AttachedInFront(Make());
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND topmost = Make("Topmost", true, WS_OVERLAPPEDWINDOW, 120, 120, 320, 240, WS_EX_TOPMOST);
    SetWindowPos(topmost, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(IsAbove(topmost, window));
    HWND ordinary = Make("Ordinary");
    ASSERT_TRUE(IsAbove(window, ordinary));
    ForegroundCalls.clear();

    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window));
}

// Windows the user cannot see do not cover the window.
TEST_F(TrayIconTest, AnInvisibleWindowAboveDoesNotCover)
{
    HWND window = AttachedInFront(Make());
    HWND invisible = Make("Invisible", false, WS_OVERLAPPEDWINDOW, 120, 120);
    Raise(invisible);
    ASSERT_TRUE(IsAbove(invisible, window));
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(ForegroundCalls.empty());
}

TEST_F(TrayIconTest, AWindowAboveLyingWhollyOutsideTheVirtualScreenDoesNotCover)
{
    HWND window = AttachedInFront(Make());
    HWND offScreen = Make("Off screen", true, WS_OVERLAPPEDWINDOW, -2000, -1500, 320, 240);
    Raise(offScreen);
    ASSERT_TRUE(IsAbove(offScreen, window));
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(ForegroundCalls.empty());
}

// Minimized windows are parked far off screen, so the virtual screen is
// reported large enough to hold them: only being iconic keeps this one out.
TEST_F(TrayIconTest, AnIconicWindowAboveDoesNotCoverEvenInsideTheVirtualScreen)
{
    HWND window = AttachedInFront(Make());
    HWND iconic = Make("Iconic", true, WS_OVERLAPPEDWINDOW, 140, 140);
    ShowWindow(iconic, SW_SHOWMINNOACTIVE);
    Raise(iconic);
    ASSERT_TRUE(IsIconic(iconic));
    ASSERT_TRUE(IsWindowVisible(iconic));
    ASSERT_TRUE(IsAbove(iconic, window));
    MetricOverrides = {{SM_XVIRTUALSCREEN, -40000}, {SM_YVIRTUALSCREEN, -40000},
                       {SM_CXVIRTUALSCREEN, 80000}, {SM_CYVIRTUALSCREEN, 80000}};
    RECT screen = {-40000, -40000, 40000, 40000};
    RECT bounds = {};
    GetWindowRect(iconic, &bounds);
    RECT overlap;
    ASSERT_TRUE(IntersectRect(&overlap, &bounds, &screen));

    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(ForegroundCalls.empty());

    // Restored, the same window covers.
    ShowWindow(window, SW_SHOWNA);
    ShowWindow(iconic, SW_SHOWNOACTIVATE);
    Raise(iconic);
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(1u, ForegroundCalls.size());
    MetricOverrides.clear();
}

TEST_F(TrayIconTest, AWindowWhollyOutsideTheVirtualScreenIsNeverInFront)
{
    HWND window = AttachedInFront(Make("Outside", true, WS_OVERLAPPEDWINDOW, -1000, -1000, 300, 200));
    EXPECT_EQ(0, SendTrayMouseEvent(window, WM_LBUTTONDOWN));
    EXPECT_TRUE(IsWindowVisible(window));
    ASSERT_EQ(1u, ForegroundCalls.size());
    EXPECT_EQ(window, ForegroundCalls[0]);

    // Partly inside is inside.
    SetWindowPos(window, NULL, -200, -100, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window));
}

// The virtual screen as the system reports it: edges from origin plus
// extent; and the primary screen at 0, 0 where no virtual screen is reported.
TEST_F(TrayIconTest, TheVirtualScreenComesFromTheSystemMetrics)
{
    HWND window = AttachedInFront(Make("Left of primary", true, WS_OVERLAPPEDWINDOW, -1000, 100, 300, 200));
    MetricOverrides = {{SM_XVIRTUALSCREEN, -2000}, {SM_YVIRTUALSCREEN, 0},
                       {SM_CXVIRTUALSCREEN, 3024}, {SM_CYVIRTUALSCREEN, 768}};
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window)) << "inside a virtual screen reaching left of the primary one";

    // Right of the virtual screen's right edge (-2000 + 3024 = 1024).
    SetWindowPos(window, HWND_TOP, 1100, 100, 300, 200, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ForegroundCalls.clear();
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(1u, ForegroundCalls.size());

    // No virtual screen reported: the primary screen, whatever origin the
    // other metrics would give.
    MetricOverrides = {{SM_XVIRTUALSCREEN, -2000}, {SM_YVIRTUALSCREEN, -2000}, {SM_CXVIRTUALSCREEN, 0},
                       {SM_CYVIRTUALSCREEN, 0},    {SM_CXSCREEN, 1024},       {SM_CYSCREEN, 768}};
    SetWindowPos(window, HWND_TOP, -1000, 100, 300, 200, SWP_NOACTIVATE);
    ForegroundCalls.clear();
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(1u, ForegroundCalls.size());
    SetWindowPos(window, HWND_TOP, 1000, 700, 300, 200, SWP_NOACTIVATE);
    SendTrayMouseEvent(window, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window)) << "overlaps the primary screen's corner";
    MetricOverrides.clear();
}

// A modal dialog disables the window it belongs to.  The modal loop runs the
// scenario once the dialog is up.
struct ModalScenario {
    HWND window;
    bool moveDialogOffScreen;
    bool ran;
    bool windowDisabled;
    bool dialogAbove;
    bool dialogVisible;
    bool windowVisibleAfter;
    std::vector<HWND> foregroundCalls;
};

INT_PTR CALLBACK ModalScenarioProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        PostMessageA(dialog, WM_APP, 0, 0);
        return TRUE;
    case WM_APP: {
        ModalScenario* scenario = reinterpret_cast<ModalScenario*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (scenario->moveDialogOffScreen) {
            SetWindowPos(dialog, NULL, -3000, -3000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        scenario->windowDisabled = !IsWindowEnabled(scenario->window);
        scenario->dialogAbove = IsAbove(dialog, scenario->window);
        scenario->dialogVisible = IsWindowVisible(dialog) != FALSE;
        ForegroundCalls.clear();
        SendTrayMouseEvent(scenario->window, WM_LBUTTONDOWN);
        scenario->foregroundCalls = ForegroundCalls;
        scenario->windowVisibleAfter = IsWindowVisible(scenario->window) != FALSE;
        scenario->ran = true;
        EndDialog(dialog, 0);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// Dialog templates must be DWORD-aligned.
struct alignas(4) DialogTemplate {
    DLGTEMPLATE header;
    WORD menu;
    WORD windowClass;
    WCHAR title[2];
};

void RunModalScenario(ModalScenario* scenario)
{
    DialogTemplate dialog = {};
    dialog.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
    dialog.header.x = 60;
    dialog.header.y = 60;
    dialog.header.cx = 120;
    dialog.header.cy = 60;
    dialog.title[0] = L'M';
    DialogBoxIndirectParamA(GetModuleHandleA(NULL), &dialog.header, scenario->window, ModalScenarioProc,
                            reinterpret_cast<LPARAM>(scenario));
}

TEST_F(TrayIconTest, WithAModalDialogAboveTheWindowAClickOnlyBringsTheWindowForward)
{
    HWND window = AttachedInFront(Make());
    ModalScenario scenario = {};
    scenario.window = window;
    RunModalScenario(&scenario);
    ASSERT_TRUE(scenario.ran);
    EXPECT_TRUE(scenario.windowDisabled);
    EXPECT_TRUE(scenario.dialogAbove);
    EXPECT_TRUE(scenario.dialogVisible);
    EXPECT_TRUE(scenario.windowVisibleAfter);
    ASSERT_EQ(1u, scenario.foregroundCalls.size());
    EXPECT_EQ(window, scenario.foregroundCalls[0]);
}

TEST_F(TrayIconTest, ADisabledWindowInFrontIsLeftUntouched)
{
    HWND window = AttachedInFront(Make());
    ModalScenario scenario = {};
    scenario.window = window;
    scenario.moveDialogOffScreen = true;
    RunModalScenario(&scenario);
    ASSERT_TRUE(scenario.ran);
    EXPECT_TRUE(scenario.windowDisabled);
    EXPECT_TRUE(scenario.windowVisibleAfter);
    EXPECT_TRUE(scenario.foregroundCalls.empty());
}

// ---------------------------------------------------------------------------
// The system menu's items

const UINT* const MenuCommands = SystemMenuCommands;
const int MenuCommandCount = SystemMenuCommandCount;

struct MenuItemStates {
    bool enabled[MenuCommandCount];
    UINT defaultItem;
};

MenuItemStates ReadMenu(HMENU menu)
{
    MenuItemStates states = {};
    for (int i = 0; i < MenuCommandCount; ++i) {
        states.enabled[i] = (GetMenuState(menu, MenuCommands[i], MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
    }
    states.defaultItem = GetMenuDefaultItem(menu, FALSE, 0);
    return states;
}

// The items as the window's own procedure saw them at the first
// WM_INITMENUPOPUP for its system menu, that is just after the module.
bool SystemMenuAsSeenByTheWindow(HWND window, MenuItemStates* states)
{
    for (const MenuSnapshot& snapshot : MenuSnapshots) {
        if (snapshot.window == window && HIWORD(snapshot.lParam) != 0) {
            for (int i = 0; i < MenuCommandCount; ++i) {
                states->enabled[i] = (snapshot.states[i] & (MF_GRAYED | MF_DISABLED)) == 0;
            }
            states->defaultItem = snapshot.defaultItem;
            return true;
        }
    }
    return false;
}

// Each item the other way round from what is expected, and no default item,
// so the test sees what the module set and not what was there.
void SetOpposite(HMENU menu, const MenuItemStates& expected)
{
    for (int i = 0; i < MenuCommandCount; ++i) {
        EnableMenuItem(menu, MenuCommands[i], MF_BYCOMMAND | (expected.enabled[i] ? MF_GRAYED : MF_ENABLED));
    }
    SetMenuDefaultItem(menu, static_cast<UINT>(-1), FALSE);
}

enum WindowState { Normal, Maximized, Minimized };

// The rule: which commands make sense for a window in that state and with
// those frame controls.
MenuItemStates ExpectedMenu(WindowState state, DWORD style)
{
    bool sizingFrame = (style & WS_THICKFRAME) != 0;
    bool minimizeBox = (style & WS_MINIMIZEBOX) != 0;
    bool maximizeBox = (style & WS_MAXIMIZEBOX) != 0;
    MenuItemStates expected = {};
    switch (state) {
    case Minimized:
        expected = MenuItemStates{{true, false, false, false, maximizeBox, true}, SC_CLOSE};
        break;
    case Maximized:
        expected = MenuItemStates{{true, false, false, minimizeBox, false, true}, SC_CLOSE};
        break;
    case Normal:
        expected = MenuItemStates{{false, true, sizingFrame, minimizeBox, maximizeBox, true}, SC_CLOSE};
        break;
    }
    return expected;
}

std::string Describe(const MenuItemStates& states)
{
    const char* names[] = {"Restore", "Move", "Size", "Minimize", "Maximize", "Close"};
    std::string text;
    for (int i = 0; i < MenuCommandCount; ++i) {
        text += names[i];
        text += states.enabled[i] ? " on, " : " off, ";
    }
    char item[32];
    wsprintfA(item, "default %x", states.defaultItem);
    return text + item;
}

void ExpectMenu(const MenuItemStates& expected, const MenuItemStates& actual, const std::string& context)
{
    for (int i = 0; i < MenuCommandCount; ++i) {
        EXPECT_EQ(expected.enabled[i], actual.enabled[i])
            << context << ": expected " << Describe(expected) << "; got " << Describe(actual);
    }
    EXPECT_EQ(expected.defaultItem, actual.defaultItem) << context;
}

void BringToState(HWND window, BOOL mode, WindowState state)
{
    switch (state) {
    case Normal:
        ShowWindow(window, SW_SHOWNORMAL);
        break;
    case Maximized:
        ShowWindow(window, SW_SHOWMAXIMIZED);
        break;
    case Minimized:
        if (mode) {
            SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        } else {
            ShowWindow(window, SW_SHOWMINNOACTIVE);
        }
        break;
    }
}

TEST_F(TrayIconTest, SystemMenuItemsFollowTheWindowStateModeAndFrameControls)
{
    const DWORD frameBits = WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    const char* stateNames[] = {"normal", "maximized", "minimized"};
    for (BOOL mode = FALSE; mode <= TRUE; ++mode) {
        for (int state = Normal; state <= Minimized; ++state) {
            for (DWORD bits = 0; bits < 8; ++bits) {
                DWORD frame = ((bits & 1) ? WS_THICKFRAME : 0) | ((bits & 2) ? WS_MINIMIZEBOX : 0) |
                              ((bits & 4) ? WS_MAXIMIZEBOX : 0);
                HWND window = Make("Menu");
                ASSERT_TRUE(Attach(window, mode));
                BringToState(window, mode, static_cast<WindowState>(state));
                SetWindowLongA(window, GWL_STYLE, (GetWindowLongA(window, GWL_STYLE) & ~frameBits) | frame);
                HMENU menu = GetSystemMenu(window, FALSE);
                ASSERT_TRUE(menu != NULL);
                MenuItemStates expected = ExpectedMenu(static_cast<WindowState>(state), frame);
                SetOpposite(menu, expected);
                MessageLog.clear();

                SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, 1));

                std::string context = std::string(mode ? "mode on, " : "mode off, ") + stateNames[state] +
                                      ", frame bits " + std::to_string(bits);
                ExpectMenu(expected, ReadMenu(menu), context);
                // The window still gets the message, after the module.
                const LoggedMessage* seen = FindMessage(window, WM_INITMENUPOPUP);
                ASSERT_TRUE(seen != NULL) << context;
                EXPECT_EQ(reinterpret_cast<WPARAM>(menu), seen->wParam);
                EXPECT_EQ(MAKELPARAM(0, 1), seen->lParam);
                DestroyWindow(window);
            }
        }
    }
}

TEST_F(TrayIconTest, AHiddenMaximizedWindowCountsAsMinimizedInModeOn)
{
    HWND window = Make("Menu");
    ASSERT_TRUE(Attach(window, TRUE));
    ShowWindow(window, SW_SHOWMAXIMIZED);
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(IsZoomed(window));
    ASSERT_FALSE(IsWindowVisible(window));
    HMENU menu = GetSystemMenu(window, FALSE);
    MenuItemStates expected = ExpectedMenu(Minimized, WS_OVERLAPPEDWINDOW);
    SetOpposite(menu, expected);
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, 1));
    ExpectMenu(expected, ReadMenu(menu), "hidden maximized");
}

TEST_F(TrayIconTest, OtherPopupsAndOtherItemsAreLeftAlone)
{
    HWND window = Make("Menu");
    ASSERT_TRUE(Attach(window, TRUE));
    HMENU menu = GetSystemMenu(window, FALSE);
    MenuItemStates expected = ExpectedMenu(Normal, WS_OVERLAPPEDWINDOW);
    SetOpposite(menu, expected);
    MenuItemStates before = ReadMenu(menu);
    MessageLog.clear();

    // Not a system menu: nothing is touched, and the window still hears of it.
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(2, 0));
    ExpectMenu(before, ReadMenu(menu), "not the system menu");
    EXPECT_EQ(1, CountMessages(window, WM_INITMENUPOPUP));

    // Items other than the six keep their state.
    AppendMenuA(menu, MF_STRING | MF_GRAYED, 0x1230, "Greyed extra");
    AppendMenuA(menu, MF_STRING, 0x1240, "Enabled extra");
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, 1));
    ExpectMenu(expected, ReadMenu(menu), "system menu");
    EXPECT_NE(0u, GetMenuState(menu, 0x1230, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(0u, GetMenuState(menu, 0x1240, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

// ---------------------------------------------------------------------------
// Menus tracked for real.  The menu's modal loop sends WM_ENTERIDLE to the
// window once it waits for input; the test then closes the menu or picks a
// command by its mnemonic, as a user's key press would.
//
// Wine, unlike Windows, applies its own rules to a system menu after the
// WM_INITMENUPOPUP of a menu it tracks, so what the module set is read where
// the window's own procedure receives that message.

struct MenuVisit {
    bool opened;
    UINT command; // 0: dismiss
};

MenuVisit visit;

// Closes any menu left open by a fault, so that a failing test ends.
void CALLBACK CloseStrayMenu(HWND, UINT, UINT_PTR, DWORD)
{
    EndMenu();
}

char Mnemonic(HMENU menu, UINT command)
{
    char text[64] = "";
    GetMenuStringA(menu, command, text, sizeof(text), MF_BYCOMMAND);
    for (const char* c = text; c[0] != 0 && c[1] != 0; ++c) {
        if (c[0] == '&' && c[1] != '&') {
            return c[1];
        }
    }
    return 0;
}

void ActInMenu(HWND window, LPARAM)
{
    visit.opened = true;
    char key = visit.command != 0 ? Mnemonic(GetSystemMenu(window, FALSE), visit.command) : 0;
    if (key != 0) {
        PostMessageA(window, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(key)), 0);
    } else {
        EndMenu();
    }
}

// Right-clicks the icon with the menu answered by command (0 dismisses it).
void RightClick(HWND window, UINT command)
{
    visit = MenuVisit{};
    visit.command = command;
    SetMenuIdleAction(ActInMenu, 0);
    UINT_PTR safety = SetTimer(NULL, 0, 10000, CloseStrayMenu);
    EXPECT_EQ(0, SendTrayMouseEvent(window, WM_RBUTTONDOWN));
    KillTimer(NULL, safety);
    SetMenuIdleAction(nullptr, 0);
}

// Takes this thread's posted messages off the queue; returns how many were
// WM_NULL for window.
int TakePostedNulls(HWND window)
{
    int count = 0;
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.hwnd == window && msg.message == WM_NULL) {
            ++count;
        }
        DispatchMessageA(&msg);
    }
    return count;
}

TEST_F(TrayIconTest, RightClickPopsUpTheSystemMenuAndADismissalHandsFocusBack)
{
    HWND window = Make("Menu");
    ASSERT_TRUE(Attach(window, TRUE));
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    NotifyCalls.clear();
    ForegroundCalls.clear();
    MessageLog.clear();
    HMENU menu = GetSystemMenu(window, FALSE);
    SetOpposite(menu, ExpectedMenu(Minimized, WS_OVERLAPPEDWINDOW));

    RightClick(window, 0);

    ASSERT_TRUE(visit.opened) << "the menu was tracked";
    const LoggedMessage* init = FindMessage(window, WM_INITMENUPOPUP);
    ASSERT_TRUE(init != NULL);
    EXPECT_EQ(reinterpret_cast<WPARAM>(menu), init->wParam);
    EXPECT_EQ(static_cast<LPARAM>(0x10000), init->lParam);
    MenuItemStates seen = {};
    ASSERT_TRUE(SystemMenuAsSeenByTheWindow(window, &seen));
    ExpectMenu(ExpectedMenu(Minimized, WS_OVERLAPPEDWINDOW), seen, "hidden in mode on");
    ASSERT_FALSE(ForegroundCalls.empty());
    EXPECT_EQ(window, ForegroundCalls[0]);
    EXPECT_EQ(0, CountMessages(window, WM_SYSCOMMAND));

    ASSERT_EQ(1u, NotifyCalls.size());
    const NotifyCall& focus = NotifyCalls[0];
    EXPECT_EQ(static_cast<DWORD>(NIM_SETFOCUS), focus.message);
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), focus.cbSize);
    EXPECT_EQ(window, focus.data.hWnd);
    EXPECT_EQ(0u, focus.data.uID);
    EXPECT_EQ(0u, focus.data.uFlags);
    EXPECT_EQ(0u, focus.data.uCallbackMessage);
    EXPECT_TRUE(focus.data.hIcon == NULL);
    EXPECT_STREQ("", focus.data.szTip);

    EXPECT_EQ(0, CountMessages(window, WM_NULL)) << "posted, not sent";
    EXPECT_EQ(1, TakePostedNulls(window));
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(TrayIconTest, MinimizeChosenAtTheIconHidesTheVisibleWindow)
{
    HWND window = Make("Menu");
    ASSERT_TRUE(Attach(window, TRUE));
    MessageLog.clear();

    RightClick(window, SC_MINIMIZE);

    ASSERT_TRUE(visit.opened);
    MenuItemStates seen = {};
    ASSERT_TRUE(SystemMenuAsSeenByTheWindow(window, &seen));
    ExpectMenu(ExpectedMenu(Normal, WS_OVERLAPPEDWINDOW), seen, "visible normal in mode on");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(0, CountMessages(window, WM_SYSCOMMAND)) << "taken by the module in mode on";
    EXPECT_TRUE(CallsWith(NIM_SETFOCUS).empty());
    EXPECT_EQ(1, TakePostedNulls(window));
}

TEST_F(TrayIconTest, RestoreChosenAtTheIconMakesTheMaximizedWindowNormal)
{
    HWND window = Make("Menu");
    ASSERT_TRUE(Attach(window, TRUE));
    ShowWindow(window, SW_SHOWMAXIMIZED);
    MessageLog.clear();

    RightClick(window, SC_RESTORE);

    ASSERT_TRUE(visit.opened);
    MenuItemStates seen = {};
    ASSERT_TRUE(SystemMenuAsSeenByTheWindow(window, &seen));
    ExpectMenu(ExpectedMenu(Maximized, WS_OVERLAPPEDWINDOW), seen, "maximized in mode on");
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(0, CountMessages(window, WM_SYSCOMMAND)) << "taken by the module in mode on";
    EXPECT_EQ(1, TakePostedNulls(window));
}

TEST_F(TrayIconTest, OtherCommandsChosenAtTheIconReachTheWindowAsSystemCommands)
{
    HWND window = Make("Menu");
    ASSERT_TRUE(Attach(window, TRUE));
    MessageLog.clear();

    RightClick(window, SC_MAXIMIZE);

    ASSERT_TRUE(visit.opened);
    const LoggedMessage* command = FindMessage(window, WM_SYSCOMMAND);
    ASSERT_TRUE(command != NULL);
    EXPECT_EQ(static_cast<WPARAM>(SC_MAXIMIZE), command->wParam);
    EXPECT_EQ(AcceleratorPosition, command->lParam);
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_EQ(1, TakePostedNulls(window));
}

TEST_F(TrayIconTest, WithTheModeOffTheChosenMinimizeReachesTheWindow)
{
    HWND window = Make("Menu");
    ASSERT_TRUE(Attach(window, FALSE));
    MessageLog.clear();

    RightClick(window, SC_MINIMIZE);

    ASSERT_TRUE(visit.opened);
    const LoggedMessage* command = FindMessage(window, WM_SYSCOMMAND);
    ASSERT_TRUE(command != NULL);
    EXPECT_EQ(static_cast<WPARAM>(SC_MINIMIZE), command->wParam);
    EXPECT_EQ(AcceleratorPosition, command->lParam);
    EXPECT_TRUE(IsIconic(window));
    EXPECT_EQ(1, TakePostedNulls(window));
}

// The window's own system menu, opened the usual way (Alt+Space), gets the
// same items; here with the mode off and minimized meaning iconic.
TEST_F(TrayIconTest, TheSystemMenuOpenedByTheKeyboardFollowsTheSameRule)
{
    HWND window = Make("Menu");
    ASSERT_TRUE(Attach(window, FALSE));
    ShowWindow(window, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(window));
    MessageLog.clear();

    visit = MenuVisit{};
    SetMenuIdleAction(ActInMenu, 0);
    UINT_PTR safety = SetTimer(NULL, 0, 10000, CloseStrayMenu);
    SendMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    KillTimer(NULL, safety);
    SetMenuIdleAction(nullptr, 0);
    PumpMessages();

    ASSERT_TRUE(visit.opened);
    MenuItemStates seen = {};
    ASSERT_TRUE(SystemMenuAsSeenByTheWindow(window, &seen));
    ExpectMenu(ExpectedMenu(Minimized, WS_OVERLAPPEDWINDOW), seen, "iconic, mode off");
}

} // namespace
