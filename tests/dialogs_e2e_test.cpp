// The Set Keys and About dialogs of the running mirelle.exe, used the way a
// person does: real mouse clicks and key presses (SendInput) on a virtual X
// display, where keyboard focus and pixels are real.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mirelle_version.h"
#include "resource.h"
#include "tests/support/message_pump.h"
#include "tests/support/mirelle_process.h"
#include "tests/support/running_program_test.h"
#include "tests/support/stand_in_player.h"
#include "tests/support/user_input.h"

namespace {

char RecorderPath[MAX_PATH] = "";
char MailtoLog[MAX_PATH] = "";

const char QuestionA[] =
    "Did you intend to use the normal key \"A\"?  You won't be able to use it for its usual purpose.";
const COLORREF LinkColour = 0x00C00000;

DWORD ThreadOf(HWND window)
{
    return GetWindowThreadProcessId(window, NULL);
}

HWND FocusIn(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(ThreadOf(window), &info);
    return info.hwndFocus;
}

HWND CaptureIn(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(ThreadOf(window), &info);
    return info.hwndCapture;
}

bool WholeTextSelected(HWND field)
{
    LRESULT selection = SendMessageA(field, EM_GETSEL, 0, 0);
    size_t length = WindowText(field).size();
    return LOWORD(selection) == 0 && HIWORD(selection) == length && length > 0;
}

// Pixels of the link colour inside a window, as the screen shows them.
int LinkPixelsIn(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    HDC screen = GetDC(NULL);
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            if (GetPixel(screen, x, y) == LinkColour) {
                ++count;
            }
        }
    }
    ReleaseDC(NULL, screen);
    return count;
}

class DialogsE2ETest : public RunningProgramTest {
protected:
    void TearDown() override
    {
        // A dialog left open would keep the program from ending by its Exit.
        if (mirelle_.info.hProcess != NULL) {
            TerminateProcess(mirelle_.info.hProcess, 99);
        }
        DestroyStandInPlayer(&player_);
        RunningProgramTest::TearDown();
    }

    void Start()
    {
        ASSERT_TRUE(StartMirelle(&mirelle_, SW_SHOWNORMAL));
        SetForegroundWindow(mirelle_.mainWindow);
        PumpUntil([&] { return GetForegroundWindow() == mirelle_.mainWindow; }, 1000);
    }

    // Opens a dialog with its button on the main window, as a click would.
    HWND Open(int buttonId, const char* title)
    {
        ClickControl(GetDlgItem(mirelle_.mainWindow, buttonId));
        HWND dialog = FindProcessDialog(mirelle_.info.dwProcessId, title, 5000);
        if (dialog != NULL) {
            PumpUntil([&] { return FocusIn(dialog) == GetDlgItem(dialog, IDOK); }, 2000);
        }
        return dialog;
    }

    HWND QuestionBox(HWND dialog, DWORD milliseconds = 3000)
    {
        DWORD start = GetTickCount();
        do {
            HWND box = FindWindowExA(NULL, NULL, "#32770", "Set Keys");
            while (box != NULL) {
                if (box != dialog && GetWindow(box, GW_OWNER) == dialog && IsWindowVisible(box)) {
                    return box;
                }
                box = FindWindowExA(NULL, box, "#32770", "Set Keys");
            }
            Sleep(20);
        } while (GetTickCount() - start < milliseconds);
        return NULL;
    }

    StandInPlayer player_ = {};
};

} // namespace

TEST_F(DialogsE2ETest, SetKeysShowsTheKeysAndCapturesWhatIsTyped)
{
    const BYTE keys[6] = { 'A', 3, VK_F1, 1, 0xAC, 0 };
    SeedKeys(keys);
    Start();
    HWND dialog = Open(IDC_MAIN_SET_KEYS, "Set Keys");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(mirelle_.mainWindow, GetWindow(dialog, GW_OWNER));
    EXPECT_EQ("Control+Shift+A", ControlText(dialog, IDC_SETKEYS_MUTE));
    EXPECT_EQ("Shift+F1", ControlText(dialog, IDC_SETKEYS_LOWER));
    EXPECT_EQ("Home", ControlText(dialog, IDC_SETKEYS_RAISE));
    EXPECT_EQ(GetDlgItem(dialog, IDOK), FocusIn(dialog));

    HWND field = GetDlgItem(dialog, IDC_SETKEYS_LOWER);
    ClickControl(field);
    ASSERT_TRUE(PumpUntil([&] { return FocusIn(dialog) == field; }));

    SendKey(VK_CONTROL, false);
    SendKey(VK_SHIFT, false);
    Tap(VK_F7);
    EXPECT_TRUE(PumpUntil([&] { return WindowText(field) == "Control+Shift+F7"; })) << WindowText(field);
    SendKey(VK_SHIFT, true);
    SendKey(VK_CONTROL, true);
    Sleep(100);
    EXPECT_EQ("Control+Shift+F7", WindowText(field));  // releasing changes nothing
    EXPECT_TRUE(WholeTextSelected(field));

    struct { std::initializer_list<BYTE> down; const char* shows; } cases[] = {
        { { VK_SHIFT }, "Shift" },
        { { VK_CONTROL, VK_SHIFT }, "Control+Shift" },
        { { VK_MENU }, "Menu" },
        { { VK_MENU, 'M' }, "M" },
        { { VK_F10 }, "F10" },
        { { VK_TAB }, "Tab" },
        { { VK_RETURN }, "Enter" },
        { { VK_ESCAPE }, "Esc" },
        { { 'X' }, "X" },
        { { VK_BACK }, "Back" },
        { { VK_DELETE }, "Delete" },
    };
    for (const auto& c : cases) {
        PressTogether(c.down);
        EXPECT_TRUE(PumpUntil([&] { return WindowText(field) == c.shows; })) << c.shows << " / " << WindowText(field);
        EXPECT_EQ(field, FocusIn(dialog)) << c.shows;
        EXPECT_TRUE(IsWindow(dialog)) << c.shows;
    }
    ClickControl(GetDlgItem(dialog, IDCANCEL));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ("65,3,112,1,172,0", StoredKeysText());  // Cancel kept what was stored
}

TEST_F(DialogsE2ETest, OkAsksAboutALetterThenStoresKeysThatWorkAtOnce)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    Start();
    HWND dialog = Open(IDC_MAIN_SET_KEYS, "Set Keys");
    ASSERT_NE(nullptr, dialog);
    HWND mute = GetDlgItem(dialog, IDC_SETKEYS_MUTE);
    ClickControl(mute);
    ASSERT_TRUE(PumpUntil([&] { return FocusIn(dialog) == mute; }));
    Tap('A');
    ASSERT_TRUE(PumpUntil([&] { return WindowText(mute) == "A"; }));

    // No: back into the Mute field, nothing stored.
    ClickControl(GetDlgItem(dialog, IDOK));
    HWND box = QuestionBox(dialog);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(QuestionA, MessageBoxText(box));
    ClickControl(GetDlgItem(box, IDNO));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }));
    EXPECT_TRUE(PumpUntil([&] { return FocusIn(dialog) == mute; }));
    EXPECT_TRUE(WholeTextSelected(mute));
    EXPECT_EQ("(none)", StoredKeysText());

    // Yes: the other two are command keys and ask nothing; all six bytes go.
    ClickControl(GetDlgItem(dialog, IDOK));
    box = QuestionBox(dialog);
    ASSERT_NE(nullptr, box);
    ClickControl(GetDlgItem(box, IDYES));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ("65,0,171,0,172,0", StoredKeysText());
    EXPECT_TRUE(PumpUntil([&] {
        return ControlText(mirelle_.mainWindow, IDC_MAIN_STATUS).find("The A, Favorites, and Home keys") == 0;
    }));

    // The hook is back, with the new keys.
    Tap('A');
    EXPECT_TRUE(PumpUntilLogged(&player_, 2, 3000));
    ASSERT_GE(player_.count, 1);
    EXPECT_EQ(UINT(WM_SYSKEYDOWN), player_.log[0].message);
    EXPECT_EQ(WPARAM(VK_F8), player_.log[0].wParam);
}

TEST_F(DialogsE2ETest, WhileSetKeysIsOpenBoundKeysReachTheFieldNotThePlayer)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    const BYTE keys[6] = { 0xAA, 0, 0xAB, 0, 'R', 0 };
    SeedKeys(keys);
    Start();
    HWND dialog = Open(IDC_MAIN_SET_KEYS, "Set Keys");
    ASSERT_NE(nullptr, dialog);
    HWND lower = GetDlgItem(dialog, IDC_SETKEYS_LOWER);
    ClickControl(lower);
    ASSERT_TRUE(PumpUntil([&] { return FocusIn(dialog) == lower; }));
    Tap('R');
    EXPECT_TRUE(PumpUntil([&] { return WindowText(lower) == "R"; }));
    PumpMessagesFor(200);
    EXPECT_EQ(0, player_.count);

    // Cancel: memory, registry and status line as they were; R still raises.
    ClickControl(GetDlgItem(dialog, IDCANCEL));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ("170,0,171,0,82,0", StoredKeysText());
    Tap('R');
    EXPECT_TRUE(PumpUntilLogged(&player_, 2, 3000));
    EXPECT_EQ(WPARAM(VK_F10), player_.log[0].wParam);
}

TEST_F(DialogsE2ETest, AFieldWithoutAKeyIsRefused)
{
    const BYTE keys[6] = { 0xAA, 0, 0, 0, 0xAC, 0 };
    SeedKeys(keys);
    Start();
    HWND dialog = Open(IDC_MAIN_SET_KEYS, "Set Keys");
    ASSERT_NE(nullptr, dialog);
    HWND lower = GetDlgItem(dialog, IDC_SETKEYS_LOWER);
    EXPECT_EQ("No such key", WindowText(lower));
    Tap(VK_RETURN);  // OK has the focus
    EXPECT_TRUE(PumpUntil([&] { return FocusIn(dialog) == lower; }));
    EXPECT_EQ(nullptr, QuestionBox(dialog, 300));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(WholeTextSelected(lower));
}

// Set Keys without a mouse: Tab to a field, Enter or Space arms it, the next
// combination is its key (Tab and Escape too), and Tab moves on again.
TEST_F(DialogsE2ETest, SetKeysWorksFromTheKeyboardAlone)
{
    const std::string prompt = "Press the new key or combination";
    Start();
    auto focusOn = [](HWND window, int id) {
        return PumpUntil([&] { return FocusIn(window) == GetDlgItem(window, id); });
    };
    ASSERT_TRUE(focusOn(mirelle_.mainWindow, IDOK));
    Tap(VK_TAB);
    Tap(VK_TAB);
    Tap(VK_RETURN);
    HWND dialog = FindProcessDialog(mirelle_.info.dwProcessId, "Set Keys", 30000);
    ASSERT_NE(nullptr, dialog);
    auto tabTo = [&](int id) {
        Tap(VK_TAB);
        return focusOn(dialog, id);
    };
    auto shows = [&](int id, const std::string& text) {
        return PumpUntil([&] { return ControlText(dialog, id) == text; });
    };
    // Yes is the question's default button, No one Tab away.
    auto answer = [&](bool no) {
        HWND box = QuestionBox(dialog, 30000);
        ASSERT_TRUE(box != NULL && focusOn(box, IDYES));
        if (no) {
            Tap(VK_TAB);
        }
        Tap(VK_RETURN);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }));
    };

    ASSERT_TRUE(focusOn(dialog, IDOK) && tabTo(IDCANCEL) && tabTo(IDC_SETKEYS_MUTE));
    Tap(VK_DOWN);
    Tap(VK_CONTROL);
    Tap(VK_RETURN);
    EXPECT_TRUE(shows(IDC_SETKEYS_MUTE, prompt));
    PressTogether({ VK_CONTROL, VK_F7 });
    EXPECT_TRUE(shows(IDC_SETKEYS_MUTE, "Control+F7"));
    EXPECT_TRUE(WholeTextSelected(GetDlgItem(dialog, IDC_SETKEYS_MUTE)));
    ASSERT_TRUE(tabTo(IDC_SETKEYS_LOWER));
    Tap(VK_SPACE);
    PressTogether({ VK_TAB });
    EXPECT_TRUE(shows(IDC_SETKEYS_LOWER, "Tab"));
    ASSERT_TRUE(tabTo(IDC_SETKEYS_RAISE));
    Tap(VK_RETURN);
    PressTogether({ VK_ESCAPE, VK_ESCAPE });  // held a moment too long, it repeats: still no Cancel
    EXPECT_TRUE(shows(IDC_SETKEYS_RAISE, "Esc"));

    // No to the first question arms Mute for one combination; Tab then leaves.
    ASSERT_TRUE(tabTo(IDOK));
    Tap(VK_RETURN);
    answer(true);
    ASSERT_TRUE(shows(IDC_SETKEYS_MUTE, prompt));
    PressTogether({ VK_SHIFT, VK_CONTROL, VK_F7 });
    EXPECT_TRUE(shows(IDC_SETKEYS_MUTE, "Control+Shift+F7"));
    ASSERT_TRUE(tabTo(IDC_SETKEYS_LOWER) && tabTo(IDC_SETKEYS_RAISE) && tabTo(IDOK));
    Tap(VK_RETURN);
    for (int question = 0; question < 3; ++question) {
        answer(false);
    }
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ("118,3,9,0,27,0", StoredKeysText());
}

TEST_F(DialogsE2ETest, AboutShowsTheVersionAndClosesOnlyThroughOk)
{
    Start();
    HWND about = Open(IDC_MAIN_ABOUT, "About Mirelle");
    ASSERT_NE(nullptr, about);
    EXPECT_EQ("Mirelle v." MIRELLE_VERSION_TEXT, ControlText(about, IDC_ABOUT_VERSION));
    EXPECT_EQ(GetDlgItem(about, IDOK), FocusIn(about));
    RECT a, m;
    GetWindowRect(about, &a);
    GetWindowRect(mirelle_.mainWindow, &m);
    EXPECT_LE(std::abs((a.left + a.right) / 2 - (m.left + m.right) / 2), 1);
    EXPECT_LE(std::abs((a.top + a.bottom) / 2 - (m.top + m.bottom) / 2), 1);

    Tap(VK_ESCAPE);
    PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(300);
    EXPECT_TRUE(IsWindow(about));
    Tap(VK_RETURN);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(about); }));

    about = Open(IDC_MAIN_ABOUT, "About Mirelle");
    ASSERT_NE(nullptr, about);
    ClickControl(GetDlgItem(about, IDOK));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(about); }));
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(&mirelle_, 0));
}

// Real keys into the running program go through its message loop's dialog
// handling: Tab walks the buttons, Enter presses the focused one (Exit when
// no other has the focus), Escape ends the program.
TEST_F(DialogsE2ETest, TheMainWindowAnswersTabEnterAndEscape)
{
    Start();
    HWND window = mirelle_.mainWindow;
    ASSERT_TRUE(PumpUntil([&] { return FocusIn(window) == GetDlgItem(window, IDOK); }));
    for (int next : { IDC_MAIN_TRAY_MINIMIZE, IDC_MAIN_SET_KEYS, IDC_MAIN_ABOUT }) {
        Tap(VK_TAB);
        EXPECT_TRUE(PumpUntil([&] { return FocusIn(window) == GetDlgItem(window, next); })) << "Tab to " << next;
    }
    Tap(VK_RETURN);
    HWND about = FindProcessDialog(mirelle_.info.dwProcessId, "About Mirelle", 30000);
    ASSERT_NE(nullptr, about);
    Tap(VK_RETURN);  // its OK
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(about); }, 30000));
    ASSERT_TRUE(PumpUntil([&] { return FocusIn(window) == GetDlgItem(window, IDC_MAIN_ABOUT); }));
    Tap(VK_TAB);
    EXPECT_TRUE(PumpUntil([&] { return FocusIn(window) == GetDlgItem(window, IDOK); })) << "Tab comes round";
    Tap(VK_ESCAPE);
    EXPECT_EQ(0u, WaitForExit(&mirelle_, 30000));
    StopMirelle(&mirelle_);

    Start();
    ASSERT_TRUE(PumpUntil([&] { return FocusIn(mirelle_.mainWindow) == GetDlgItem(mirelle_.mainWindow, IDOK); }));
    Tap(VK_RETURN);
    EXPECT_EQ(0u, WaitForExit(&mirelle_, 30000));
}

TEST_F(DialogsE2ETest, TheContactLineIsALinkThatOpensMail)
{
    Start();
    HWND about = Open(IDC_MAIN_ABOUT, "About Mirelle");
    ASSERT_NE(nullptr, about);
    HWND link = GetDlgItem(about, IDC_ABOUT_CONTACT);
    HWND copyright = GetDlgItem(about, IDC_ABOUT_COPYRIGHT);
    MoveMouseTo(5, 5);
    Sleep(200);

    // Drawn in the link colour; the ordinary line beside it is not.
    int plain = LinkPixelsIn(link);
    EXPECT_GT(plain, 20);
    EXPECT_EQ(0, LinkPixelsIn(copyright));

    // Hovering underlines it (more link-coloured pixels) and takes the capture;
    // leaving restores it and releases the capture.  (The hand cursor is
    // checked in-process by the hyperlink tests: Wine does not let another
    // process read a cursor handle.)
    RECT r;
    GetWindowRect(link, &r);
    MoveMouseTo(r.left + 10, (r.top + r.bottom) / 2);
    EXPECT_TRUE(PumpUntil([&] { return CaptureIn(about) == link; }));
    EXPECT_TRUE(PumpUntil([&] { return LinkPixelsIn(link) > plain + 20; })) << LinkPixelsIn(link) << " vs " << plain;
    MoveMouseTo(r.right + 40, r.bottom + 40);
    EXPECT_TRUE(PumpUntil([&] { return CaptureIn(about) == NULL; }));
    EXPECT_TRUE(PumpUntil([&] { return LinkPixelsIn(link) == plain; }));

    // A click opens the mail link through the shell, once, and the dialog stays.
    DeleteFileA(MailtoLog);
    ClickControl(link);
    auto logged = [] {
        HANDLE file = CreateFileA(MailtoLog, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0,
                                  NULL);
        if (file == INVALID_HANDLE_VALUE) {
            return std::string();
        }
        char buffer[4096];
        DWORD read = 0;
        ReadFile(file, buffer, sizeof buffer - 1, &read, NULL);
        CloseHandle(file);
        return std::string(buffer, read);
    };
    auto lines = [&] {
        std::string log = logged();
        return std::count(log.begin(), log.end(), '\n');
    };
    EXPECT_TRUE(PumpUntil([&] { return lines() >= 1; }, 30000));
    std::string log = logged();
    EXPECT_NE(std::string::npos, log.find("mailto:mirelle@example.org?subject=Mirelle")) << log;

    // A double click is one click for the link: the second press arrives
    // as a double click, which opens nothing.
    ClickControl(link);
    ClickControl(link);
    EXPECT_TRUE(PumpUntil([&] { return lines() >= 2; }, 30000));
    PumpMessagesFor(1500);  // time for a second mail program, were one started
    log = logged();
    EXPECT_EQ(2, lines()) << log;
    EXPECT_TRUE(IsWindow(about));
    ClickControl(GetDlgItem(about, IDOK));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(about); }));
}

int main(int argc, char** argv)
{
    TakeMirellePathArgument(argc, argv);
    TakePathArgument(argc, argv, "--mailto-recorder", RecorderPath, MAX_PATH);

    // The recorder stands in for the mail program of this Wine prefix.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::snprintf(MailtoLog, sizeof MailtoLog, "%smirelle-mailto.log", temp);
    SetEnvironmentVariableA("MIRELLE_MAILTO_LOG", MailtoLog);
    char command[2 * MAX_PATH];
    std::snprintf(command, sizeof command, "\"%s\" \"%%1\"", RecorderPath);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, "mailto\\shell\\open\\command", 0, NULL, 0, KEY_WRITE,
                        NULL, &key, NULL) == ERROR_SUCCESS) {
        RegSetValueExA(key, NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), lstrlenA(command) + 1);
        RegCloseKey(key);
    }

    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
