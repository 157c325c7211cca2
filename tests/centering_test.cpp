// Centring real top-level windows: pop-ups without frames, so that the sizes
// asked for are the window rectangles that the arithmetic works on.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "centering.h"

namespace {

const char TestClassName[] = "MirelleCenteringTest";

void RegisterTestClass()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = TestClassName;
        registered = RegisterClassA(&windowClass) != 0;
    }
}

HWND CreatePopup(int x, int y, int width, int height, HWND owner = NULL, DWORD style = WS_POPUP | WS_VISIBLE)
{
    RegisterTestClass();
    return CreateWindowExA(0, TestClassName, "", style, x, y, width, height, owner, NULL, GetModuleHandleA(NULL),
                           NULL);
}

RECT RectOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

void ExpectPlaced(HWND window, LONG x, LONG y, LONG width, LONG height)
{
    RECT rect = RectOf(window);
    EXPECT_EQ(x, rect.left);
    EXPECT_EQ(y, rect.top);
    EXPECT_EQ(width, rect.right - rect.left);
    EXPECT_EQ(height, rect.bottom - rect.top);
}

RECT WorkAreaOf(HWND window)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

// Whether the window rectangle's middle is that of the area, to within the
// one pixel that halving an odd size loses.
void ExpectCentredOver(HWND window, const RECT& area)
{
    RECT rect = RectOf(window);
    EXPECT_LE(std::abs((rect.left - area.left) - (area.right - rect.right)), 1);
    EXPECT_LE(std::abs((rect.top - area.top) - (area.bottom - rect.bottom)), 1);
}

} // namespace

TEST(CenterOverRect, HalvesTowardZeroAndKeepsTheSize)
{
    HWND window = CreatePopup(500, 400, 51, 31);
    ASSERT_NE(static_cast<HWND>(NULL), window);

    RECT positive = { 0, 0, 101, 61 };
    CenterOverRect(window, &positive);
    ExpectPlaced(window, 25, 15, 51, 31);  // 50 - 25, 30 - 15

    RECT negative = { -101, -61, 0, 0 };
    CenterOverRect(window, &negative);
    ExpectPlaced(window, -75, -45, 51, 31);  // centre -50, -30: truncated, not floored

    RECT straddling = { -100, -20, 1, 1 };
    CenterOverRect(window, &straddling);
    ExpectPlaced(window, -74, -24, 51, 31);  // centre -49, -9

    // Nowhere near the screen: nothing is clamped.
    RECT distant = { 5000, -7000, 5200, -6800 };
    CenterOverRect(window, &distant);
    ExpectPlaced(window, 5075, -6915, 51, 31);

    DestroyWindow(window);
}

TEST(CenterOverRect, KeepsTheZOrder)
{
    HWND lower = CreatePopup(0, 0, 40, 40);
    HWND upper = CreatePopup(0, 0, 40, 40);
    ASSERT_NE(static_cast<HWND>(NULL), lower);
    ASSERT_NE(static_cast<HWND>(NULL), upper);
    SetWindowPos(upper, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND above = GetWindow(lower, GW_HWNDPREV);
    HWND below = GetWindow(lower, GW_HWNDNEXT);
    ASSERT_NE(static_cast<HWND>(NULL), above);

    RECT rect = { 100, 100, 300, 300 };
    CenterOverRect(lower, &rect);
    ExpectPlaced(lower, 180, 180, 40, 40);
    EXPECT_EQ(above, GetWindow(lower, GW_HWNDPREV));
    EXPECT_EQ(below, GetWindow(lower, GW_HWNDNEXT));

    DestroyWindow(upper);
    DestroyWindow(lower);
}

TEST(CenterOverRect, LeavesAWindowThatIsGoneAlone)
{
    HWND window = CreatePopup(0, 0, 40, 40);
    DestroyWindow(window);
    RECT rect = { 0, 0, 100, 100 };
    CenterOverRect(window, &rect);
    EXPECT_FALSE(IsWindow(window));
}

TEST(CenterOverWindow, ALargerWindowOverhangsEvenlyAndMayGoNegative)
{
    HWND owner = CreatePopup(200, 300, 100, 80);
    HWND window = CreatePopup(0, 0, 301, 161, owner);
    ASSERT_NE(static_cast<HWND>(NULL), window);

    CenterOverWindow(window, owner);
    ExpectPlaced(window, 100, 260, 301, 161);  // overhangs 100 left, 101 right, 40 above, 41 below
    ExpectCentredOver(window, RectOf(owner));

    SetWindowPos(owner, NULL, 10, 20, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(window, NULL, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    CenterOverWindow(window, owner);
    ExpectPlaced(window, -140, -80, 400, 300);

    DestroyWindow(window);
    DestroyWindow(owner);
}

TEST(CenterOverParent, CentresAnOwnedWindowOverItsOwner)
{
    HWND owner = CreatePopup(300, 200, 400, 300);
    HWND popup = CreatePopup(0, 0, 120, 90, owner);
    ASSERT_NE(static_cast<HWND>(NULL), popup);
    CenterOverParent(popup);
    ExpectPlaced(popup, 440, 305, 120, 90);

    // An owned window that is not a pop-up has no parent to GetParent, but
    // still has its owner.
    HWND overlapped = CreatePopup(0, 0, 200, 100, owner, WS_OVERLAPPED | WS_VISIBLE);
    ASSERT_NE(static_cast<HWND>(NULL), overlapped);
    ASSERT_EQ(static_cast<HWND>(NULL), GetParent(overlapped));
    CenterOverParent(overlapped);
    ExpectCentredOver(overlapped, RectOf(owner));

    DestroyWindow(overlapped);
    DestroyWindow(popup);
    DestroyWindow(owner);
}

namespace {

INT_PTR CALLBACK CentringDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) {
        CenterOverParent(dialog);
        return TRUE;
    }
    return FALSE;
}

} // namespace

TEST(CenterOverParent, CentresADialogAtInitialisation)
{
    HWND owner = CreatePopup(-300, 50, 500, 400);
    ASSERT_NE(static_cast<HWND>(NULL), owner);

    // A dialog template with no controls, no menu, class or title.
    struct alignas(4) {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialogTemplate = {};
    dialogTemplate.header.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
    dialogTemplate.header.cx = 120;
    dialogTemplate.header.cy = 60;
    HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(NULL), &dialogTemplate.header, owner,
                                             CentringDialogProc, 0);
    ASSERT_NE(static_cast<HWND>(NULL), dialog);
    ExpectCentredOver(dialog, RectOf(owner));

    DestroyWindow(dialog);
    DestroyWindow(owner);
}

TEST(CenterOverParent, CentresAWindowWithoutParentOrOwnerOnItsMonitorsWorkArea)
{
    HWND window = CreatePopup(-20000, -20000, 150, 70);
    ASSERT_NE(static_cast<HWND>(NULL), window);
    ASSERT_EQ(static_cast<HWND>(NULL), GetParent(window));
    ASSERT_EQ(static_cast<HWND>(NULL), GetWindow(window, GW_OWNER));
    RECT work = WorkAreaOf(window);
    ASSERT_LT(work.left, work.right);

    CenterOverParent(window);
    RECT rect = RectOf(window);
    EXPECT_EQ(150, rect.right - rect.left);
    EXPECT_EQ(70, rect.bottom - rect.top);
    ExpectCentredOver(window, work);

    // The same when the window to centre over is gone.
    HWND gone = CreatePopup(0, 0, 10, 10);
    DestroyWindow(gone);
    SetWindowPos(window, NULL, -20000, 20000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterOverWindow(window, gone);
    ExpectCentredOver(window, WorkAreaOf(window));

    DestroyWindow(window);
}
