// The hyperlink module on real dialogs from a test resource script, driven
// with the messages that the system and the user's mouse send.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "centering.h"
#include "hyperlink.h"
#include "tests/hyperlink_test_ids.h"
#include "tests/support/import_patch.h"
#include "tests/support/message_pump.h"

namespace {

const char OriginalProcName[] = "_Hyperlink_Original_Proc_";
const char OriginalFontName[] = "_Hyperlink_Original_Font_";
const char UnderlineFontName[] = "_Hyperlink_Underline_Font_";
const char FromStaticName[] = "_Hyperlink_From_Static_";
const char* const PropertyNames[] = { OriginalProcName, OriginalFontName, UnderlineFontName, FromStaticName };

struct Command {
    WORD id;
    WORD code;
    HWND control;
};

// What the test dialog does, and what it has seen.
struct DialogRecord {
    int linksAtInit[2];  // made hyperlinks during WM_INITDIALOG, as the About box does; 0 = none
    bool paintsStatics;  // answers WM_CTLCOLORSTATIC itself instead of leaving it to the default
    std::vector<Command> commands;
};

const COLORREF DialogTextColor = RGB(10, 20, 30);
const COLORREF DialogBkColor = RGB(40, 50, 60);

HBRUSH DialogBrush()
{
    return static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
}

INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogRecord* record = reinterpret_cast<DialogRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        record = reinterpret_cast<DialogRecord*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        for (int id : record->linksAtInit) {
            if (id != 0) {
                MakeHyperlinkItem(dialog, id);
            }
        }
        return TRUE;
    case WM_COMMAND:
        if (record != NULL) {
            record->commands.push_back({ LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam) });
        }
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        if (record == NULL || !record->paintsStatics) {
            return FALSE;
        }
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, DialogTextColor);
        SetBkColor(dc, DialogBkColor);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(DialogBrush());
    }
    default:
        return FALSE;
    }
}

// A subclass of the test's own, laid under the hyperlink's, so that it is
// the "previous procedure" and sees what the hyperlink passes on.  At
// WM_DESTROY it notes the state the hyperlink left behind.
struct Recorder {
    HWND window;
    WNDPROC previous;
    std::vector<std::pair<UINT, WPARAM>> seen;
    bool sawDestroy;
    WNDPROC procedureAtDestroy;
    int propertiesAtDestroy;
    HFONT fontAtDestroy;
};

const int RecorderCapacity = 8;
Recorder recorders[RecorderCapacity];
int recorderCount = 0;

BOOL CALLBACK CountHyperlinkProperty(HWND, LPSTR name, HANDLE, ULONG_PTR count)
{
    if (!IS_INTRESOURCE(name) && std::strncmp(name, "_Hyperlink_", 11) == 0) {
        ++*reinterpret_cast<int*>(count);
    }
    return TRUE;
}

// Properties whose names start like the module's, by enumeration, plus the
// module's four names by lookup (in case enumeration missed one).
int CountHyperlinkProperties(HWND window)
{
    int enumerated = 0;
    EnumPropsExA(window, CountHyperlinkProperty, reinterpret_cast<LPARAM>(&enumerated));
    int found = 0;
    for (const char* name : PropertyNames) {
        if (GetPropA(window, name) != NULL) {
            ++found;
        }
    }
    return enumerated > found ? enumerated : found;
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Recorder* recorder = NULL;
    for (int i = 0; i < recorderCount; ++i) {
        if (recorders[i].window == window) {
            recorder = &recorders[i];
        }
    }
    if (recorder == NULL) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    recorder->seen.push_back({ message, wParam });
    if (message == WM_DESTROY) {
        recorder->sawDestroy = true;
        recorder->procedureAtDestroy = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
        recorder->propertiesAtDestroy = CountHyperlinkProperties(window);
        recorder->fontAtDestroy = reinterpret_cast<HFONT>(CallWindowProcA(recorder->previous, window, WM_GETFONT, 0, 0));
    }
    return CallWindowProcA(recorder->previous, window, message, wParam, lParam);
}

Recorder* Record(HWND window)
{
    if (recorderCount == RecorderCapacity) {
        ADD_FAILURE() << "more recorders than RecorderCapacity";
        std::abort();
    }
    Recorder* recorder = &recorders[recorderCount++];
    *recorder = Recorder();
    recorder->window = window;
    recorder->previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));
    return recorder;
}

int Seen(const Recorder* recorder, UINT message)
{
    int count = 0;
    for (const auto& entry : recorder->seen) {
        if (entry.first == message) {
            ++count;
        }
    }
    return count;
}

WNDPROC ProcedureOf(HWND window)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
}

HFONT FontOf(HWND window)
{
    return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
}

bool FontExists(HGDIOBJ font)
{
    return font != NULL && GetObjectType(font) == OBJ_FONT;
}

LOGFONTA LogFontOf(HGDIOBJ font)
{
    LOGFONTA logFont;
    std::memset(&logFont, 0, sizeof logFont);
    EXPECT_EQ(static_cast<int>(sizeof logFont), GetObjectA(font, sizeof logFont, &logFont));
    return logFont;
}

// Everything but the underline is the same.
void ExpectUnderlinedCopy(const LOGFONTA& original, HGDIOBJ font)
{
    LOGFONTA copy = LogFontOf(font);
    EXPECT_TRUE(copy.lfUnderline);
    copy.lfUnderline = original.lfUnderline;
    EXPECT_EQ(0, std::memcmp(&original, &copy, sizeof copy)) << "face " << copy.lfFaceName;
}

// A mouse message's lParam: client coordinates, signed 16 bits each.
LPARAM PointLParam(int x, int y)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

void MoveMouse(HWND control, int x, int y)
{
    SendMessageA(control, WM_MOUSEMOVE, 0, PointLParam(x, y));
}

void Click(HWND control, int x, int y)
{
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, PointLParam(x, y));
    SendMessageA(control, WM_LBUTTONUP, 0, PointLParam(x, y));
}

SIZE ClientSize(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return { client.right, client.bottom };
}

// The colouring the parent hands a static's painting, as seen in a real
// device context that starts from values nobody chooses.
struct Colouring {
    COLORREF text;
    COLORREF background;
    int mode;
    HBRUSH brush;
};

Colouring ColouringFor(HWND parent, HWND control)
{
    HDC dc = CreateCompatibleDC(NULL);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    SetBkMode(dc, OPAQUE);
    HBRUSH brush = reinterpret_cast<HBRUSH>(
        SendMessageA(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    Colouring colouring = { GetTextColor(dc), GetBkColor(dc), GetBkMode(dc), brush };
    DeleteDC(dc);
    return colouring;
}

// High contrast as the system reports it to this program.  Wine can neither
// switch it on nor report it, so the test's import of SystemParametersInfoA
// answers the question instead.
BOOL HighContrastOn = FALSE;
BOOL(WINAPI* RealSystemParametersInfo)(UINT, UINT, PVOID, UINT) = nullptr;

BOOL WINAPI ReportHighContrast(UINT action, UINT parameter, PVOID data, UINT update)
{
    if (action != SPI_GETHIGHCONTRAST) {
        return RealSystemParametersInfo(action, parameter, data, update);
    }
    HIGHCONTRASTA* highContrast = static_cast<HIGHCONTRASTA*>(data);
    highContrast->dwFlags = HCF_AVAILABLE | (HighContrastOn ? HCF_HIGHCONTRASTON : 0);
    highContrast->lpszDefaultScheme = NULL;
    return TRUE;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int ThreadWindowCount()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

void PressLeftButton()
{
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof inputs[0]);
}

// Moves the pointer as a mouse would, through the system's input queue.
void PointerTo(POINT screen)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

POINT CentreOf(HWND window)
{
    RECT bounds;
    GetWindowRect(window, &bounds);
    return { (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2 };
}

class HyperlinkTest : public testing::Test {
protected:
    void SetUp() override
    {
        recorderCount = 0;
    }

    void TearDown() override
    {
        if (dialog_ != NULL && IsWindow(dialog_)) {
            DestroyWindow(dialog_);
        }
        ReleaseCapture();
    }

    HWND Open(int templateId = IDD_TEST_LINKS)
    {
        dialog_ = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(templateId), NULL, TestDialogProc,
                                     reinterpret_cast<LPARAM>(&record_));
        EXPECT_NE(nullptr, dialog_);
        return dialog_;
    }

    HWND Item(int id)
    {
        HWND item = GetDlgItem(dialog_, id);
        EXPECT_NE(nullptr, item) << id;
        return item;
    }

    int Clicks(int id, HWND control)
    {
        int count = 0;
        for (const Command& command : record_.commands) {
            if (command.id == id && command.code == STN_CLICKED && command.control == control) {
                ++count;
            }
        }
        return count;
    }

    DialogRecord record_ = {};
    HWND dialog_ = NULL;
};

TEST_F(HyperlinkTest, LinkTextTakesTheLinkColourOverWhatTheParentPaints)
{
    record_.paintsStatics = true;
    Open();
    HWND link = Item(IDC_TEST_LINK);
    HWND plain = Item(IDC_TEST_PLAIN);
    EXPECT_EQ(DialogTextColor, ColouringFor(dialog_, link).text) << "before it is a link";

    ASSERT_TRUE(MakeHyperlink(link));

    Colouring linkColouring = ColouringFor(dialog_, link);
    EXPECT_EQ(static_cast<COLORREF>(0x00C00000), linkColouring.text);
    EXPECT_EQ(DialogBkColor, linkColouring.background);
    EXPECT_EQ(TRANSPARENT, linkColouring.mode);
    EXPECT_EQ(DialogBrush(), linkColouring.brush);

    Colouring plainColouring = ColouringFor(dialog_, plain);
    EXPECT_EQ(DialogTextColor, plainColouring.text);
    EXPECT_EQ(DialogBkColor, plainColouring.background);
    EXPECT_EQ(DialogBrush(), plainColouring.brush);
}

TEST_F(HyperlinkTest, DefaultColouringStandsForPlainStaticsAndBackgrounds)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    HWND plain = Item(IDC_TEST_PLAIN);
    Colouring plainBefore = ColouringFor(dialog_, plain);
    ASSERT_NE(nullptr, plainBefore.brush);

    ASSERT_TRUE(MakeHyperlink(link));

    Colouring plainAfter = ColouringFor(dialog_, plain);
    EXPECT_EQ(plainBefore.text, plainAfter.text);
    EXPECT_NE(HyperlinkColor, plainAfter.text);
    EXPECT_EQ(plainBefore.background, plainAfter.background);
    EXPECT_EQ(plainBefore.brush, plainAfter.brush);

    Colouring linkColouring = ColouringFor(dialog_, link);
    EXPECT_EQ(HyperlinkColor, linkColouring.text);
    EXPECT_EQ(plainBefore.background, linkColouring.background);
    EXPECT_EQ(plainBefore.mode, linkColouring.mode);
    EXPECT_EQ(plainBefore.brush, linkColouring.brush);
}

TEST_F(HyperlinkTest, HighContrastDrawsTheLinkInTheSystemsHyperlinkColour)
{
    ASSERT_NE(HyperlinkColor, GetSysColor(COLOR_HOTLIGHT)) << "the two colours must differ to tell them apart";
    Open();
    HWND link = Item(IDC_TEST_LINK);
    ASSERT_TRUE(MakeHyperlink(link));
    RealSystemParametersInfo = reinterpret_cast<decltype(RealSystemParametersInfo)>(
        PatchImport("user32.dll", "SystemParametersInfoA", reinterpret_cast<void*>(ReportHighContrast)));
    ASSERT_NE(nullptr, RealSystemParametersInfo);

    // Switched on and off while the link is shown: each drawing asks afresh.
    HighContrastOn = TRUE;
    EXPECT_EQ(GetSysColor(COLOR_HOTLIGHT), ColouringFor(dialog_, link).text);
    HighContrastOn = FALSE;
    EXPECT_EQ(HyperlinkColor, ColouringFor(dialog_, link).text);
    PatchImport("user32.dll", "SystemParametersInfoA", reinterpret_cast<void*>(RealSystemParametersInfo));
}

TEST_F(HyperlinkTest, PointerOverTheLinkUnderlinesItUntilItLeaves)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    HFONT own = FontOf(link);
    ASSERT_TRUE(FontExists(own));
    LOGFONTA ownLogFont = LogFontOf(own);
    ASSERT_FALSE(ownLogFont.lfUnderline);
    Recorder* passedOn = Record(link);
    ASSERT_TRUE(MakeHyperlink(link));
    SIZE size = ClientSize(link);
    ASSERT_GT(size.cx, 10);

    EXPECT_EQ(own, FontOf(link)) << "no underline before the pointer comes";
    EXPECT_EQ(nullptr, GetCapture());

    // At the screen's corner, and centred on it as the About box is in use:
    // the moves come in the control's own coordinates, wherever it lies.
    RECT screen = { 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    for (bool centred : { false, true }) {
        SCOPED_TRACE(centred ? "centred" : "at the corner");
        if (centred) {
            CenterOverRect(dialog_, &screen);
        }
        MoveMouse(link, 2, 2);
        HFONT hovered = FontOf(link);
        EXPECT_NE(own, hovered);
        ExpectUnderlinedCopy(ownLogFont, hovered);
        EXPECT_EQ(link, GetCapture());

        for (POINT within : { POINT{ size.cx - 1, size.cy - 1 }, POINT{ size.cx / 2, 0 } }) {
            MoveMouse(link, within.x, within.y);
            EXPECT_EQ(hovered, FontOf(link)) << "moving within changes nothing";
            EXPECT_EQ(link, GetCapture());
        }

        MoveMouse(link, size.cx, size.cy / 2);
        EXPECT_EQ(own, FontOf(link)) << "just right of the control";
        EXPECT_EQ(nullptr, GetCapture());

        MoveMouse(link, 1, 1);
        EXPECT_EQ(hovered, FontOf(link)) << "back on it";
        EXPECT_EQ(link, GetCapture());

        MoveMouse(link, -3, -4);
        EXPECT_EQ(own, FontOf(link)) << "above and left of it";
        EXPECT_EQ(nullptr, GetCapture());
        EXPECT_TRUE(FontExists(hovered)) << "the underlined font lives as long as the link";
    }
    EXPECT_EQ(12, Seen(passedOn, WM_MOUSEMOVE)) << "every move reaches the static itself";
}

// As the dialog manager does when the window moves to a monitor with another
// scale: a larger font set on the control from outside, hovered or not.
TEST_F(HyperlinkTest, NewFontFromOutsideIsTheOneUnderlined)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    Recorder* passedOn = Record(link);
    ASSERT_TRUE(MakeHyperlink(link));
    HANDLE firstUnderline = GetPropA(link, UnderlineFontName);
    LOGFONTA larger = LogFontOf(FontOf(link));
    larger.lfHeight *= 2;
    HFONT big = CreateFontIndirectA(&larger);
    larger.lfHeight += larger.lfHeight / 2;
    HFONT bigger = CreateFontIndirectA(&larger);

    SendMessageA(link, WM_SETFONT, reinterpret_cast<WPARAM>(big), FALSE);
    EXPECT_EQ(big, FontOf(link));
    EXPECT_EQ(static_cast<HANDLE>(big), GetPropA(link, OriginalFontName));
    EXPECT_FALSE(FontExists(firstUnderline)) << "the old underlined font is freed";
    MoveMouse(link, 2, 2);
    HFONT hovered = FontOf(link);
    ExpectUnderlinedCopy(LogFontOf(big), hovered);
    EXPECT_EQ(static_cast<HANDLE>(hovered), GetPropA(link, UnderlineFontName));

    SendMessageA(link, WM_SETFONT, reinterpret_cast<WPARAM>(bigger), FALSE);
    EXPECT_FALSE(FontExists(hovered));
    ExpectUnderlinedCopy(LogFontOf(bigger), FontOf(link));  // still hovered: underlined at once
    MoveMouse(link, -2, -2);
    EXPECT_EQ(bigger, FontOf(link));
    EXPECT_EQ(nullptr, GetCapture());

    HANDLE lastUnderline = GetPropA(link, UnderlineFontName);
    DestroyWindow(dialog_);
    EXPECT_EQ(bigger, passedOn->fontAtDestroy);
    EXPECT_FALSE(FontExists(lastUnderline));
    EXPECT_TRUE(FontExists(big) && FontExists(bigger)) << "fonts from outside are never deleted";
    DeleteObject(big);
    DeleteObject(bigger);
}

TEST_F(HyperlinkTest, PointerOverTheLinkIsAHand)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    HWND plain = Item(IDC_TEST_PLAIN);
    Recorder* passedOn = Record(link);
    ASSERT_TRUE(MakeHyperlink(link));
    HCURSOR arrow = LoadCursorA(NULL, IDC_ARROW);
    HCURSOR hand = LoadCursorA(NULL, IDC_HAND);
    ASSERT_NE(nullptr, hand);
    ASSERT_NE(arrow, hand);

    SetCursor(arrow);
    MoveMouse(link, 2, 2);
    EXPECT_EQ(TRUE, SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(hand, GetCursor());
    EXPECT_EQ(0, Seen(passedOn, WM_SETCURSOR)) << "the static's own cursor handling is bypassed";

    SendMessageA(plain, WM_SETCURSOR, reinterpret_cast<WPARAM>(plain), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(arrow, GetCursor()) << "an ordinary static keeps the arrow";
}

TEST_F(HyperlinkTest, ClickReachesTheParentAsStaticClicked)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    HWND second = Item(IDC_TEST_SECOND_LINK);
    HWND plain = Item(IDC_TEST_PLAIN);
    ASSERT_TRUE(MakeHyperlink(link));

    Click(link, 3, 3);
    EXPECT_EQ(1, Clicks(IDC_TEST_LINK, link));

    MoveMouse(link, 3, 3);
    ASSERT_EQ(link, GetCapture());
    Click(link, 4, 4);
    EXPECT_EQ(2, Clicks(IDC_TEST_LINK, link)) << "also while hovered";

    Click(second, 3, 3);
    Click(plain, 3, 3);
    EXPECT_EQ(2u, record_.commands.size()) << "statics without SS_NOTIFY stay silent";

    ASSERT_TRUE(MakeHyperlink(second));
    Click(second, 3, 3);
    EXPECT_EQ(1, Clicks(IDC_TEST_SECOND_LINK, second)) << "the link gets SS_NOTIFY though its template lacks it";
    EXPECT_EQ(3u, record_.commands.size());
}

TEST_F(HyperlinkTest, OnlySsNotifyIsAddedToTheStyle)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    HWND second = Item(IDC_TEST_SECOND_LINK);
    LONG linkStyle = GetWindowLongA(link, GWL_STYLE);
    LONG secondStyle = GetWindowLongA(second, GWL_STYLE);
    ASSERT_EQ(SS_NOTIFY, linkStyle & SS_NOTIFY);
    ASSERT_EQ(0, secondStyle & SS_NOTIFY);

    ASSERT_TRUE(MakeHyperlink(link));
    ASSERT_TRUE(MakeHyperlink(second));

    EXPECT_EQ(linkStyle, GetWindowLongA(link, GWL_STYLE));
    EXPECT_EQ(secondStyle | SS_NOTIFY, GetWindowLongA(second, GWL_STYLE));
}

TEST_F(HyperlinkTest, TwoLinksSubclassTheParentOnce)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    HWND second = Item(IDC_TEST_SECOND_LINK);
    WNDPROC dialogProcedure = ProcedureOf(dialog_);
    ASSERT_NE(HyperlinkParentProc, dialogProcedure);

    ASSERT_TRUE(MakeHyperlink(link));
    EXPECT_EQ(HyperlinkParentProc, ProcedureOf(dialog_));
    EXPECT_EQ(HyperlinkProc, ProcedureOf(link));
    ASSERT_TRUE(MakeHyperlink(second));

    EXPECT_EQ(HyperlinkParentProc, ProcedureOf(dialog_));
    EXPECT_EQ(reinterpret_cast<HANDLE>(dialogProcedure), GetPropA(dialog_, OriginalProcName));
    EXPECT_EQ(1, CountHyperlinkProperties(dialog_));
    EXPECT_EQ(HyperlinkColor, ColouringFor(dialog_, link).text);
    EXPECT_EQ(HyperlinkColor, ColouringFor(dialog_, second).text);
    EXPECT_NE(HyperlinkColor, ColouringFor(dialog_, Item(IDC_TEST_PLAIN)).text);
    EXPECT_NE(GetPropA(link, UnderlineFontName), GetPropA(second, UnderlineFontName)) << "each link owns its font";
}

TEST_F(HyperlinkTest, ControlPropertiesHoldWhatTheControlHad)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    WNDPROC staticProcedure = ProcedureOf(link);
    HFONT own = FontOf(link);

    ASSERT_TRUE(MakeHyperlink(link));

    EXPECT_EQ(reinterpret_cast<HANDLE>(staticProcedure), GetPropA(link, OriginalProcName));
    EXPECT_EQ(static_cast<HANDLE>(own), GetPropA(link, OriginalFontName));
    ExpectUnderlinedCopy(LogFontOf(own), GetPropA(link, UnderlineFontName));
    EXPECT_EQ(reinterpret_cast<HANDLE>(1), GetPropA(link, FromStaticName));
}

TEST_F(HyperlinkTest, MakingTheSameControlALinkAgainChangesNothing)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    WNDPROC staticProcedure = ProcedureOf(link);
    ASSERT_TRUE(MakeHyperlink(link));
    HANDLE underline = GetPropA(link, UnderlineFontName);
    HANDLE parentPrevious = GetPropA(dialog_, OriginalProcName);

    EXPECT_TRUE(MakeHyperlink(link));
    EXPECT_TRUE(MakeHyperlinkItem(dialog_, IDC_TEST_LINK));

    EXPECT_EQ(reinterpret_cast<HANDLE>(staticProcedure), GetPropA(link, OriginalProcName));
    EXPECT_EQ(underline, GetPropA(link, UnderlineFontName));
    EXPECT_EQ(parentPrevious, GetPropA(dialog_, OriginalProcName));
    char text[64] = "";
    EXPECT_GT(GetWindowTextA(link, text, sizeof text), 0) << "messages still reach the static";
    EXPECT_STREQ("someone@example.org", text);
    MoveMouse(link, 2, 2);
    EXPECT_EQ(underline, static_cast<HANDLE>(FontOf(link)));
    DestroyWindow(dialog_);
    EXPECT_FALSE(FontExists(underline));
}

TEST_F(HyperlinkTest, ParentSubclassedByOthersMeanwhileIsNotSubclassedAgain)
{
    Open();
    ASSERT_TRUE(MakeHyperlink(Item(IDC_TEST_LINK)));
    HANDLE parentPrevious = GetPropA(dialog_, OriginalProcName);
    Recorder* over = Record(dialog_);

    ASSERT_TRUE(MakeHyperlink(Item(IDC_TEST_SECOND_LINK)));

    EXPECT_EQ(RecordingProc, ProcedureOf(dialog_));
    EXPECT_EQ(parentPrevious, GetPropA(dialog_, OriginalProcName));
    EXPECT_EQ(HyperlinkColor, ColouringFor(dialog_, Item(IDC_TEST_SECOND_LINK)).text);
    EXPECT_EQ(1, Seen(over, WM_CTLCOLORSTATIC));
}

TEST_F(HyperlinkTest, MissingControlChangesNothing)
{
    Open();
    WNDPROC dialogProcedure = ProcedureOf(dialog_);

    EXPECT_FALSE(MakeHyperlinkItem(dialog_, IDC_TEST_MISSING));
    EXPECT_FALSE(MakeHyperlink(NULL));

    EXPECT_EQ(dialogProcedure, ProcedureOf(dialog_));
    EXPECT_EQ(0, CountHyperlinkProperties(dialog_));
}

TEST_F(HyperlinkTest, ControlWithoutFontUnderlinesTheParentsFontAndGetsNoFontBack)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    SendMessageA(link, WM_SETFONT, 0, FALSE);
    ASSERT_EQ(nullptr, FontOf(link));
    HFONT dialogFont = FontOf(dialog_);
    ASSERT_TRUE(FontExists(dialogFont));
    Recorder* passedOn = Record(link);

    ASSERT_TRUE(MakeHyperlink(link));
    HANDLE underline = GetPropA(link, UnderlineFontName);
    ExpectUnderlinedCopy(LogFontOf(dialogFont), underline);

    MoveMouse(link, 2, 2);
    EXPECT_EQ(underline, static_cast<HANDLE>(FontOf(link)));
    MoveMouse(link, -2, -2);
    EXPECT_EQ(nullptr, FontOf(link)) << "the system font again";

    DestroyWindow(dialog_);
    EXPECT_EQ(nullptr, passedOn->fontAtDestroy);
    EXPECT_FALSE(FontExists(underline));
}

TEST_F(HyperlinkTest, ControlAndParentWithoutFontUnderlineTheGuiFont)
{
    Open(IDD_TEST_LINKS_NO_FONT);
    HWND link = Item(IDC_TEST_LINK);
    ASSERT_EQ(nullptr, FontOf(link));
    ASSERT_EQ(nullptr, FontOf(dialog_));

    ASSERT_TRUE(MakeHyperlink(link));
    HANDLE underline = GetPropA(link, UnderlineFontName);
    ExpectUnderlinedCopy(LogFontOf(GetStockObject(DEFAULT_GUI_FONT)), underline);

    MoveMouse(link, 2, 2);
    EXPECT_EQ(underline, static_cast<HANDLE>(FontOf(link)));
    MoveMouse(link, -2, -2);
    EXPECT_EQ(nullptr, FontOf(link));
}

TEST_F(HyperlinkTest, DestroyingTheDialogUndoesEverythingInOrder)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    HWND plain = Item(IDC_TEST_PLAIN);
    // A font of the caller's own: only put back, never deleted.
    LOGFONTA ownLogFont = LogFontOf(FontOf(link));
    HFONT own = CreateFontIndirectA(&ownLogFont);
    SendMessageA(link, WM_SETFONT, reinterpret_cast<WPARAM>(own), FALSE);
    Recorder* parent = Record(dialog_);
    Recorder* control = Record(link);
    Recorder* plainControl = Record(plain);

    ASSERT_TRUE(MakeHyperlink(link));
    HANDLE underline = GetPropA(link, UnderlineFontName);
    ASSERT_TRUE(FontExists(underline));
    MoveMouse(link, 2, 2);
    ASSERT_EQ(underline, static_cast<HANDLE>(FontOf(link))) << "destroyed while hovered";
    EXPECT_EQ(4, CountHyperlinkProperties(link));
    EXPECT_EQ(1, CountHyperlinkProperties(dialog_));

    ASSERT_TRUE(DestroyWindow(dialog_));

    ASSERT_TRUE(parent->sawDestroy);
    EXPECT_EQ(RecordingProc, parent->procedureAtDestroy);
    EXPECT_EQ(0, parent->propertiesAtDestroy);

    ASSERT_TRUE(control->sawDestroy);
    EXPECT_EQ(RecordingProc, control->procedureAtDestroy);
    EXPECT_EQ(0, control->propertiesAtDestroy);
    EXPECT_EQ(own, control->fontAtDestroy) << "own font back before the static sees WM_DESTROY";
    ASSERT_GE(control->seen.size(), 2u);
    size_t destroyAt = 0;
    while (destroyAt < control->seen.size() && control->seen[destroyAt].first != WM_DESTROY) {
        ++destroyAt;
    }
    ASSERT_GT(destroyAt, 0u);
    EXPECT_EQ(static_cast<UINT>(WM_SETFONT), control->seen[destroyAt - 1].first);
    EXPECT_EQ(reinterpret_cast<WPARAM>(own), control->seen[destroyAt - 1].second);

    ASSERT_TRUE(plainControl->sawDestroy);
    EXPECT_EQ(0, Seen(plainControl, WM_SETFONT)) << "ordinary statics are left alone";

    EXPECT_FALSE(FontExists(underline));
    LOGFONTA gone;
    EXPECT_EQ(0, GetObjectA(underline, sizeof gone, &gone));
    EXPECT_TRUE(FontExists(own));
    DeleteObject(own);
}

TEST_F(HyperlinkTest, RepeatedUseLeavesNoFontsOrWindowsBehind)
{
    record_.linksAtInit[0] = IDC_TEST_LINK;
    record_.linksAtInit[1] = IDC_TEST_SECOND_LINK;
    const int rounds = 200;

    // One round first, so that anything the system builds once and keeps
    // (class data, cached fonts) is there before counting.
    auto round = [this]() {
        Open();
        HWND link = Item(IDC_TEST_LINK);
        HWND second = Item(IDC_TEST_SECOND_LINK);
        HANDLE fonts[2] = { GetPropA(link, UnderlineFontName), GetPropA(second, UnderlineFontName) };
        EXPECT_TRUE(FontExists(fonts[0]) && FontExists(fonts[1]));
        EXPECT_NE(fonts[0], fonts[1]);
        MoveMouse(link, 2, 2);
        SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        Click(link, 2, 2);
        MoveMouse(link, -2, -2);
        MoveMouse(second, 2, 2);
        DestroyWindow(dialog_);
        dialog_ = NULL;
        return !FontExists(fonts[0]) && !FontExists(fonts[1]);
    };
    ASSERT_TRUE(round());

    DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    int windowsBefore = ThreadWindowCount();
    int leaked = 0;
    for (int i = 0; i < rounds; ++i) {
        if (!round()) {
            ++leaked;
        }
    }
    EXPECT_EQ(0, leaked) << "rounds whose underlined fonts outlived the dialog";
    EXPECT_EQ(windowsBefore, ThreadWindowCount());
    EXPECT_EQ(nullptr, GetCapture());
    int clicks = 0;
    for (const Command& command : record_.commands) {
        clicks += command.id == IDC_TEST_LINK && command.code == STN_CLICKED;
    }
    EXPECT_EQ(rounds + 1, clicks);
    // Windows counts the process's GDI objects; Wine does not (it answers 0
    // with ERROR_CALL_NOT_IMPLEMENTED), so there the fonts' own handles,
    // checked every round above, are the whole evidence.
    if (gdiBefore != 0) {
        EXPECT_EQ(gdiBefore, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    }
}

// The pointer and the button through the system's input queue, so that the
// system's hit testing, cursor setting and capture routing decide which
// window gets what.  Wine's null display driver routes such input too.
TEST_F(HyperlinkTest, RealPointerAndButtonDriveTheLink)
{
    Open();
    HWND link = Item(IDC_TEST_LINK);
    HWND plain = Item(IDC_TEST_PLAIN);
    HFONT own = FontOf(link);
    ASSERT_TRUE(MakeHyperlink(link));
    HFONT underline = static_cast<HFONT>(GetPropA(link, UnderlineFontName));
    SetWindowPos(dialog_, HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    POINT onLink = CentreOf(link);
    POINT offLink = CentreOf(plain);

    PointerTo(offLink);
    PumpPendingMessages();
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(own, FontOf(link));
    EXPECT_NE(LoadCursorA(NULL, IDC_HAND), GetCursor());

    PointerTo(onLink);
    ASSERT_TRUE(PumpUntil([&]() { return GetCapture() == link; }, 2000));
    EXPECT_EQ(underline, FontOf(link));
    EXPECT_EQ(LoadCursorA(NULL, IDC_HAND), GetCursor());

    PointerTo({ onLink.x + 3, onLink.y + 1 });
    PumpPendingMessages();
    EXPECT_EQ(link, GetCapture());
    EXPECT_EQ(underline, FontOf(link));

    PressLeftButton();
    ASSERT_TRUE(PumpUntil([&]() { return Clicks(IDC_TEST_LINK, link) == 1; }, 2000));

    PointerTo(offLink);
    ASSERT_TRUE(PumpUntil([&]() { return GetCapture() == NULL; }, 2000));
    EXPECT_EQ(own, FontOf(link));

    PointerTo(onLink);
    ASSERT_TRUE(PumpUntil([&]() { return GetCapture() == link; }, 2000));
    EXPECT_EQ(underline, FontOf(link));
    PointerTo(offLink);
    ASSERT_TRUE(PumpUntil([&]() { return GetCapture() == NULL; }, 2000));
    EXPECT_EQ(own, FontOf(link));
    EXPECT_EQ(1u, record_.commands.size());
}

} // namespace
