// The Set Keys and About dialogs run on this thread, with a worker thread in
// the user's place: it presses keys in the capture fields, answers the
// questions and reads what the dialogs show.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app_state.h"
#include "about_dialog.h"
#include "key_capture_field.h"
#include "set_keys_dialog.h"
#include "key_binding_set.h"
#include "mirelle_version.h"
#include "resource.h"
#include "volume_hook.h"
#include "tests/support/accessible.h"
#include "tests/support/import_patch.h"
#include "tests/support/key_input.h"
#include "tests/support/mirelle_process.h"
#include "tests/support/modal_user.h"
#include "tests/support/player_expectations.h"
#include "tests/support/program_test.h"

namespace {

const char QuestionA[] =
    "Did you intend to use the normal key \"A\"?  You won't be able to use it for its usual purpose.";

// Stands in for the main window: the owner the dialogs centre over.
class DialogTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        owner_ = CreateWindowExA(0, "#32770", "Owner", WS_POPUP | WS_CAPTION | WS_VISIBLE, 130, 90, 420, 260, NULL,
                                 NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(nullptr, owner_);
    }

    void TearDown() override
    {
        DestroyWindow(owner_);
        ProgramTest::TearDown();
    }

    ModalRun RunSetKeys(const std::function<void(HWND, DWORD)>& user)
    {
        return RunModalWithUser(IDD_SET_KEYS, SetKeysDialogProc, owner_, "Set Keys", IDCANCEL, user);
    }

    ModalRun RunAbout(const std::function<void(HWND, DWORD)>& user)
    {
        return RunModalWithUser(IDD_ABOUT, AboutDialogProc, owner_, "About Mirelle", IDOK, user);
    }

    HWND owner_;
};

// Key state as GetKeyState reports it on the dialog's thread: the worker
// shares that thread's input state and sets it the way held keys would.
struct HeldKeys {
    HeldKeys(DWORD dialogThread) : dialogThread_(dialogThread)
    {
        AttachThreadInput(GetCurrentThreadId(), dialogThread_, TRUE);
    }
    ~HeldKeys()
    {
        Set(false, false, false);
        AttachThreadInput(GetCurrentThreadId(), dialogThread_, FALSE);
    }
    void Set(bool shift, bool control, bool alt)
    {
        BYTE state[256] = {};
        state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
        state[VK_CONTROL] = state[VK_LCONTROL] = control ? 0x80 : 0;
        state[VK_MENU] = state[VK_LMENU] = alt ? 0x80 : 0;
        SetKeyboardState(state);
    }
    DWORD dialogThread_;
};

// A click in a field, which then takes every key until the focus leaves.
void ClickIn(HWND field)
{
    SendMessageA(field, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(field, WM_LBUTTONUP, 0, 0);
}

void PressIn(HWND field, BYTE vk, bool system = false)
{
    SendMessageA(field, system ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, 1);
    SendMessageA(field, system ? WM_SYSKEYUP : WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
}

bool WholeTextSelected(HWND field)
{
    DWORD start = 0, end = 0;
    SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start == 0 && end == static_cast<DWORD>(GetWindowTextLengthA(field)) && end > 0;
}

POINT CentreOf(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    POINT p = { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
    return p;
}

} // namespace

// --- Set Keys ----------------------------------------------------------------

TEST_F(DialogTest, SetKeysOpensWithTheCurrentKeysCentredOverItsOwner)
{
    KeyBindings.binding[0] = KeyBinding{ 'A', 3 };
    KeyBindings.binding[1] = KeyBinding{ VK_F1, 1 };
    ModalRun run = RunSetKeys([&](HWND dialog, DWORD thread) {
        EXPECT_EQ("Control+Shift+A", TextOf(GetDlgItem(dialog, IDC_SETKEYS_MUTE)));
        EXPECT_EQ("Shift+F1", TextOf(GetDlgItem(dialog, IDC_SETKEYS_LOWER)));
        EXPECT_EQ("Home", TextOf(GetDlgItem(dialog, IDC_SETKEYS_RAISE)));
        EXPECT_EQ(GetDlgItem(dialog, IDOK), FocusOf(thread));
        POINT dialogCentre = CentreOf(dialog), ownerCentre = CentreOf(owner_);
        EXPECT_LE(std::abs(dialogCentre.x - ownerCentre.x), 1);
        EXPECT_LE(std::abs(dialogCentre.y - ownerCentre.y), 1);
        EXPECT_EQ(owner_, GetWindow(dialog, GW_OWNER));
    });
    EXPECT_EQ(2, run.result);
}

TEST_F(DialogTest, CaptureFieldsTakeKeysWithShiftAndControl)
{
    RunSetKeys([&](HWND dialog, DWORD thread) {
        HeldKeys held(thread);
        HWND field = GetDlgItem(dialog, IDC_SETKEYS_LOWER);
        ClickIn(field);

        held.Set(true, true, false);
        PressIn(field, VK_F7);
        EXPECT_EQ("Control+Shift+F7", TextOf(field));
        EXPECT_TRUE(WholeTextSelected(field));
        held.Set(false, false, false);  // releasing the keys changes nothing
        SendMessageA(field, WM_KEYUP, VK_SHIFT, static_cast<LPARAM>(0xC0000001u));
        EXPECT_EQ("Control+Shift+F7", TextOf(field));

        held.Set(true, false, false);
        PressIn(field, VK_SHIFT);
        EXPECT_EQ("Shift", TextOf(field));
        held.Set(true, true, false);
        PressIn(field, VK_SHIFT);
        EXPECT_EQ("Control+Shift", TextOf(field));
        PressIn(field, VK_CONTROL);
        EXPECT_EQ("Shift+Control", TextOf(field));

        held.Set(false, false, true);
        PressIn(field, VK_MENU, true);
        EXPECT_EQ("Menu", TextOf(field));
        PressIn(field, 'M', true);
        EXPECT_EQ("M", TextOf(field));
        PressIn(field, VK_F10, true);
        EXPECT_EQ("F10", TextOf(field));
        held.Set(false, false, false);

        for (BYTE vk : { BYTE(VK_TAB), BYTE(VK_RETURN), BYTE(VK_ESCAPE) }) {
            PressIn(field, vk);
        }
        EXPECT_EQ("Esc", TextOf(field));
        EXPECT_TRUE(IsWindow(dialog));

        // Typing never edits the text.
        SendMessageA(field, WM_CHAR, 'x', 1);
        SendMessageA(field, WM_KEYUP, 'X', 1);
        EXPECT_EQ("Esc", TextOf(field));
        PressIn(field, VK_BACK);
        EXPECT_EQ("Back", TextOf(field));
        PressIn(field, VK_DELETE);
        EXPECT_EQ("Delete", TextOf(field));

        // The dialog manager hands every key to the field, characters aside.
        LRESULT code = SendMessageA(field, WM_GETDLGCODE, 0, 0);
        EXPECT_TRUE(code & DLGC_WANTALLKEYS);
        EXPECT_TRUE(code & DLGC_WANTTAB);
        EXPECT_FALSE(code & DLGC_WANTCHARS);
        EXPECT_TRUE(code & DLGC_HASSETSEL);  // the edit control's own bits pass through
    });
    // Cancel: nothing of it was kept.
    EXPECT_EQ(0, std::memcmp(&KeyBindings, &DefaultKeyBindings, 6));
    EXPECT_EQ("(none)", StoredKeysText(true));
}

// A screen reader names each field by the label before it and reads its key.
TEST_F(DialogTest, EachFieldIsNamedByItsLabelAndReadOnly)
{
    RunSetKeys([&](HWND dialog, DWORD) {
        const struct { int id; const char* name; const char* value; } fields[] = {
            { IDC_SETKEYS_MUTE, "Mute:", "Search" },
            { IDC_SETKEYS_LOWER, "Lower:", "Favorites" },
            { IDC_SETKEYS_RAISE, "Raise:", "Home" },
        };
        for (const auto& f : fields) {
            AccessibleFacts facts;
            ASSERT_TRUE(ReadAccessibleFacts(GetDlgItem(dialog, f.id), &facts)) << f.name;
            EXPECT_EQ(f.name, facts.name);
            EXPECT_EQ(f.value, facts.value) << f.name;
            EXPECT_TRUE(facts.state & STATE_SYSTEM_READONLY) << f.name;
        }
    });
}

TEST_F(DialogTest, OkAsksAboutALetterAndNoKeepsTheDialogOpen)
{
    KeyBindings.binding[0] = KeyBinding{ 'A', 0 };
    KeyBindings.binding[1] = KeyBinding{ 0xDF, 0 };  // normal, though its name is a placeholder
    ModalRun run = RunSetKeys([&](HWND dialog, DWORD thread) {
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        HWND box = WaitForThreadDialog(thread, "Set Keys", 30000, dialog);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(QuestionA, TextOf(GetDlgItem(box, 0xFFFF)));
        EXPECT_EQ(dialog, GetWindow(box, GW_OWNER));
        EXPECT_NE(nullptr, GetDlgItem(box, IDYES));
        EXPECT_NE(nullptr, GetDlgItem(box, IDNO));
        AnswerBox(box, IDNO);
        HWND mute = GetDlgItem(dialog, IDC_SETKEYS_MUTE);
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box) && FocusOf(thread) == mute; }, 30000));
        PumpMessagesFor(200);
        EXPECT_FALSE(ThreadShowsDialog(thread, "Set Keys", 0, dialog));  // Lower was not examined
        EXPECT_TRUE(WholeTextSelected(mute));
        EXPECT_EQ("(none)", StoredKeysText(true));

        // Yes goes on to Lower, which asks too; No there refocuses Lower.
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        box = WaitForThreadDialog(thread, "Set Keys", 30000, dialog);
        ASSERT_NE(nullptr, box);
        AnswerBox(box, IDYES);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 30000));
        box = WaitForThreadDialog(thread, "Set Keys", 30000, dialog);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("Did you intend to use the normal key \"Unknown Key DF\"?  You won't be able to use it for its "
                  "usual purpose.",
                  TextOf(GetDlgItem(box, 0xFFFF)));
        AnswerBox(box, IDNO);
        EXPECT_TRUE(PumpUntil([&] { return FocusOf(thread) == GetDlgItem(dialog, IDC_SETKEYS_LOWER); }, 30000));
    });
    EXPECT_EQ(2, run.result);
    EXPECT_EQ('A', KeyBindings.binding[0].vk);
    EXPECT_EQ("(none)", StoredKeysText(true));
}

TEST_F(DialogTest, OkAsksAboutAUsualKeyInEachFieldInTurn)
{
    KeyBindings = KeyBindingSet{ { { VK_CAPITAL, 0 }, { VK_F5, 1 }, { VK_LWIN, 2 } } };
    const char* asked[3] = { "shift/modifier key \"Caps Lock\"", "function key \"Shift+F5\"",
                             "Microsoft key \"Control+Left Windows\"" };
    ModalRun run = RunSetKeys([&](HWND dialog, DWORD thread) {
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        for (const char* question : asked) {
            HWND box = WaitForThreadDialog(thread, "Set Keys", 30000, dialog);
            ASSERT_NE(nullptr, box) << question;
            EXPECT_NE(std::string::npos, TextOf(GetDlgItem(box, 0xFFFF)).find(question)) << question;
            AnswerBox(box, IDYES);
            ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 30000));
        }
    });
    EXPECT_EQ(1, run.result);
    EXPECT_EQ("binary:20,0,116,1,91,2", StoredKeysText(true));
}

TEST_F(DialogTest, OkStoresTheNewKeysAndAsksNothingForCommandKeys)
{
    KeyBindings.binding[2] = KeyBinding{ 'Z', 2 };
    ModalRun run = RunSetKeys([&](HWND dialog, DWORD thread) {
        HeldKeys held(thread);
        held.Set(false, true, false);
        ClickIn(GetDlgItem(dialog, IDC_SETKEYS_MUTE));
        PressIn(GetDlgItem(dialog, IDC_SETKEYS_MUTE), 'M');
        held.Set(false, false, false);
        ClickIn(GetDlgItem(dialog, IDC_SETKEYS_LOWER));
        PressIn(GetDlgItem(dialog, IDC_SETKEYS_LOWER), 0xE8);  // a key of no known kind: no question
        ClickIn(GetDlgItem(dialog, IDC_SETKEYS_RAISE));
        PressIn(GetDlgItem(dialog, IDC_SETKEYS_RAISE), VK_VOLUME_UP);  // a command key: no question either
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        HWND box = WaitForThreadDialog(thread, "Set Keys", 30000, dialog);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("Did you intend to use the normal key \"Control+M\"?  You won't be able to use it for its usual "
                  "purpose.",
                  TextOf(GetDlgItem(box, 0xFFFF)));
        AnswerBox(box, IDYES);
    });
    EXPECT_EQ(1, run.result);
    const BYTE expected[6] = { 'M', 2, 0xE8, 0, VK_VOLUME_UP, 0 };
    EXPECT_EQ(0, std::memcmp(&KeyBindings, expected, 6));
    EXPECT_EQ("binary:77,2,232,0,175,0", StoredKeysText(true));
}

TEST_F(DialogTest, EnterRightAfterOpeningKeepsTheDefaults)
{
    ModalRun run = RunSetKeys([&](HWND dialog, DWORD) {
        // What Enter on the focused OK button does.
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, run.result);
    EXPECT_EQ("binary:170,0,171,0,172,0", StoredKeysText(true));
}

TEST_F(DialogTest, AFieldWithoutAKeyIsRefusedWithoutAQuestion)
{
    KeyBindings.binding[1] = KeyBinding{ 0, 0 };
    ModalRun run = RunSetKeys([&](HWND dialog, DWORD thread) {
        EXPECT_EQ("No such key", TextOf(GetDlgItem(dialog, IDC_SETKEYS_LOWER)));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        EXPECT_FALSE(ThreadShowsDialog(thread, "Set Keys", 500, dialog));
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_EQ(GetDlgItem(dialog, IDC_SETKEYS_LOWER), FocusOf(thread));
        EXPECT_TRUE(WholeTextSelected(GetDlgItem(dialog, IDC_SETKEYS_LOWER)));
    });
    EXPECT_EQ(2, run.result);
    EXPECT_EQ("(none)", StoredKeysText(true));
}

TEST_F(DialogTest, StoredOddMaskIsKeptInAnUntouchedField)
{
    KeyBindings.binding[0] = KeyBinding{ 0xAD, 0x84 };
    ModalRun run = RunSetKeys([&](HWND dialog, DWORD) {
        EXPECT_EQ("Volume Mute", TextOf(GetDlgItem(dialog, IDC_SETKEYS_MUTE)));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, run.result);
    EXPECT_EQ("binary:173,132,171,0,172,0", StoredKeysText(true));
}

namespace {

int OwnerAppCommands = 0;
WNDPROC OwnerProc = NULL;

LRESULT CALLBACK CountAppCommands(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APPCOMMAND) {
        ++OwnerAppCommands;
    }
    return CallWindowProcA(OwnerProc, window, message, wParam, lParam);
}

} // namespace

TEST_F(DialogTest, ApplicationCommandsStopAtTheDialog)
{
    // An application command that a dialog leaves to default processing
    // travels on to its owner.  The About dialog shows that it does; Set
    // Keys, where media keys are captured as keys, keeps it.
    OwnerAppCommands = 0;
    OwnerProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountAppCommands)));
    const LPARAM volumeUp = MAKELPARAM(0, FAPPCOMMAND_KEY | APPCOMMAND_VOLUME_UP);
    RunAbout([&](HWND dialog, DWORD) {
        SendMessageA(dialog, WM_APPCOMMAND, reinterpret_cast<WPARAM>(dialog), volumeUp);
    });
    EXPECT_EQ(1, OwnerAppCommands);
    ModalRun run = RunSetKeys([&](HWND dialog, DWORD) {
        SendMessageA(dialog, WM_APPCOMMAND, reinterpret_cast<WPARAM>(dialog), volumeUp);
        SendMessageA(GetDlgItem(dialog, IDC_SETKEYS_MUTE), WM_APPCOMMAND, reinterpret_cast<WPARAM>(dialog), volumeUp);
    });
    EXPECT_EQ(1, OwnerAppCommands);
    EXPECT_EQ(2, run.result);
    SetWindowLongPtrA(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnerProc));
}

// One past the last slot, and the commonest garbage.
class DamagedFieldTest : public DialogTest, public testing::WithParamInterface<LONG_PTR> {};
INSTANTIATE_TEST_SUITE_P(SlotIndex, DamagedFieldTest, testing::Values(LONG_PTR(EditKeySlotCount), LONG_PTR(-1)));

TEST_P(DamagedFieldTest, ADamagedFieldSaysSoOnceAndEndsTheProgram)
{
    int boxes = 0;
    RunSetKeys([&](HWND dialog, DWORD thread) {
        HWND field = GetDlgItem(dialog, IDC_SETKEYS_RAISE);
        SetWindowLongPtrA(field, GWLP_USERDATA, GetParam());
        // The second key is already queued when the box comes up, and
        // reaches the field through the box's own loop.
        PostMessageA(field, WM_KEYDOWN, 'Q', 1);
        PostMessageA(field, WM_KEYDOWN, 'Q', 1);
        // On a busy machine the first box of a process can take seconds.
        HWND box = WaitForThreadDialog(thread, "Internal Error", 30000);
        ASSERT_NE(nullptr, box);
        ++boxes;
        EXPECT_EQ("Damaged EditKeySubclass.  Fooey.", TextOf(GetDlgItem(box, 0xFFFF)));
        EXPECT_EQ(dialog, GetWindow(box, GW_OWNER));
        AnswerBox(box, IDOK);
        // The field goes on receiving messages until the quit message has
        // ended the loops; none of them raises a second box.
        DWORD start = GetTickCount();
        while (IsWindow(dialog) && GetTickCount() - start < 30000) {
            HWND again = WaitForThreadDialog(thread, "Internal Error", 0);
            if (again != NULL && again != box) {
                ++boxes;
                AnswerBox(again, IDOK);
            }
            Sleep(10);
        }
        EXPECT_FALSE(IsWindow(dialog));
    });
    EXPECT_EQ(1, boxes);
    // The quit message ended the dialog's loop and waits for the program's own.
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(1u, msg.wParam);
}

TEST_F(DialogTest, ASecondDamagedFieldDoesNotEndTheFirstOnesBoxUnseen)
{
    bool firstStayed = false;
    RunSetKeys([&](HWND dialog, DWORD thread) {
        HWND raise = GetDlgItem(dialog, IDC_SETKEYS_RAISE);
        HWND lower = GetDlgItem(dialog, IDC_SETKEYS_LOWER);
        SetWindowLongPtrA(raise, GWLP_USERDATA, EditKeySlotCount);
        SetWindowLongPtrA(lower, GWLP_USERDATA, EditKeySlotCount);
        PostMessageA(raise, WM_KEYDOWN, 'Q', 1);
        HWND first = WaitForThreadDialog(thread, "Internal Error", 30000);
        ASSERT_NE(nullptr, first);
        // The second field's box comes up inside the first one's loop, and
        // is answered first.
        PostMessageA(lower, WM_KEYDOWN, 'Q', 1);
        HWND second = WaitForThreadDialog(thread, "Internal Error", 30000, first);
        ASSERT_NE(nullptr, second);
        AnswerBox(second, IDOK);
        // The first box stays until the user has answered it too.
        firstStayed = !PumpUntil([&] { return !IsWindow(first); }, 1000);
        AnswerBox(first, IDOK);
    });
    EXPECT_TRUE(firstStayed);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(1u, msg.wParam);
}

// --- About -------------------------------------------------------------------

TEST_F(DialogTest, AboutShowsTheProductVersion)
{
    VS_FIXEDFILEINFO saved = VersionRecord;
    VersionRecord.dwProductVersionMS = MAKELONG(MIRELLE_VERSION_MINOR, MIRELLE_VERSION_MAJOR);
    VersionRecord.dwProductVersionLS = MAKELONG(MIRELLE_VERSION_TWEAK, MIRELLE_VERSION_PATCH);
    RunAbout([&](HWND dialog, DWORD thread) {
        EXPECT_EQ("Mirelle v." MIRELLE_VERSION_TEXT, TextOf(GetDlgItem(dialog, IDC_ABOUT_VERSION)));
        EXPECT_EQ(GetDlgItem(dialog, IDOK), FocusOf(thread));
        POINT dialogCentre = CentreOf(dialog), ownerCentre = CentreOf(owner_);
        EXPECT_LE(std::abs(dialogCentre.x - ownerCentre.x), 1);
        EXPECT_LE(std::abs(dialogCentre.y - ownerCentre.y), 1);
        // The contact line is a hyperlink.
        EXPECT_NE(nullptr, GetPropA(GetDlgItem(dialog, IDC_ABOUT_CONTACT), "_Hyperlink_From_Static_"));
    });
    VersionRecord.dwProductVersionMS = MAKELONG(20, 10);
    VersionRecord.dwProductVersionLS = MAKELONG(4000, 300);
    RunAbout([&](HWND dialog, DWORD) {
        EXPECT_EQ("Mirelle v.10.20.300.4000", TextOf(GetDlgItem(dialog, IDC_ABOUT_VERSION)));
    });
    VersionRecord = saved;
}

TEST_F(DialogTest, AboutClosesOnlyThroughOk)
{
    ModalRun run = RunAbout([&](HWND dialog, DWORD) {
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_CONTACT, STN_DBLCLK), 0);
        Sleep(100);
        EXPECT_TRUE(IsWindow(dialog));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, run.result);
}

namespace {

HANDLE ShellCallReleased = NULL;
std::atomic<int> ShellCallsRunning(0);
std::atomic<int> ShellCallsMade(0);
std::string ShellCallUrl;
bool ShellCallFinishesFirst = false;

// A mail program that takes its time: back when the test lets it go, or 3 s.
// The call must finish its hand-over before the calling thread ends.
BOOL WINAPI SlowShellExecute(SHELLEXECUTEINFOA* execute)
{
    ShellCallUrl = execute->lpFile;
    ShellCallFinishesFirst = (execute->fMask & SEE_MASK_NOASYNC) != 0 && std::string(execute->lpVerb) == "open"
        && execute->nShow == SW_SHOWNORMAL;
    ++ShellCallsRunning;
    WaitForSingleObject(ShellCallReleased, 3000);
    --ShellCallsRunning;
    ++ShellCallsMade;
    return TRUE;
}

// How many handles the process holds.  Wine does not count them (the count
// comes back 0), but it gives each new handle the lowest free slot of the
// process's table: there the slot of a fresh handle stands in for the count.
DWORD HandleCount()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
        return count;
    }
    HANDLE probe = CreateEventA(NULL, FALSE, FALSE, NULL);
    CloseHandle(probe);
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(probe) / 4);
}

} // namespace

// The dialog's thread also runs the keyboard hook.
TEST_F(DialogTest, AMailLinkThatTakesItsTimeHoldsUpNeitherKeysNorTheDialogAndLeavesNothingBehind)
{
    void* realShellExecute = PatchImport("shell32.dll", "ShellExecuteExA", reinterpret_cast<void*>(SlowShellExecute));
    ShellCallReleased = CreateEventA(NULL, TRUE, FALSE, NULL);
    StandInPlayer player = {};
    ASSERT_TRUE(CreateStandInPlayer(&player, false));
    KeyBindings.binding[2] = KeyBinding{ 'R', 0 };
    ASSERT_NE(nullptr, InstallVolumeHook(ModuleInstance));
    ShellCallsMade = 0;
    DWORD handlesBefore = 0, handlesAfter = 0;
    RunAbout([&](HWND dialog, DWORD) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_CONTACT, STN_CLICKED), 0);
        ASSERT_TRUE(PumpUntil([] { return ShellCallsRunning == 1; }));
        DWORD_PTR answer = 0;
        EXPECT_TRUE(SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &answer)) << "the dialog answers";
        SendKeysPumping({ { 'R', false }, { 'R', true } });
        PumpUntil([&] { return player.count >= 2; }, 2000);
        EXPECT_EQ(1, ShellCallsRunning) << "the keys came while the shell call still ran";
        EXPECT_TRUE(LoggedKeyPress(player, 0, VK_F10));
        SetEvent(ShellCallReleased);

        // Clicked a hundred times more, the link leaves no handle behind.
        ASSERT_TRUE(PumpUntil([] { return ShellCallsMade == 1; }));
        handlesBefore = HandleCount();
        for (int i = 0; i < 100; ++i) {
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_CONTACT, STN_CLICKED), 0);
        }
        ASSERT_TRUE(PumpUntil([] { return ShellCallsMade == 101; }, 10000));
        // The calls' threads end a moment after their calls.
        PumpUntil([&] { return (handlesAfter = HandleCount()) <= handlesBefore + 5; }, 10000);
    });
    EXPECT_LE(handlesAfter, handlesBefore + 5) << "handles before the 100 clicks: " << handlesBefore;
    EXPECT_TRUE(PumpUntil([] { return ShellCallsRunning == 0; }));
    EXPECT_EQ("mailto:mirelle@example.org?subject=Mirelle", ShellCallUrl);
    EXPECT_TRUE(ShellCallFinishesFirst);
    RemoveVolumeHook();
    DestroyStandInPlayer(&player);
    CloseHandle(ShellCallReleased);
    PatchImport("shell32.dll", "ShellExecuteExA", realShellExecute);
}

// Tab reaches the link, and Enter on it is a click, not OK.
TEST_F(DialogTest, TabReachesTheMailLinkAndEnterOpensItOnce)
{
    void* realShellExecute = PatchImport("shell32.dll", "ShellExecuteExA", reinterpret_cast<void*>(SlowShellExecute));
    ShellCallReleased = CreateEventA(NULL, TRUE, TRUE, NULL);  // the calls return at once
    ShellCallsMade = 0;
    RunAbout([&](HWND dialog, DWORD thread) {
        HWND ok = GetDlgItem(dialog, IDOK), link = GetDlgItem(dialog, IDC_ABOUT_CONTACT);
        ASSERT_TRUE(PumpUntil([&] { return FocusOf(thread) == ok; }));
        PostMessageA(ok, WM_KEYDOWN, VK_TAB, 1);
        ASSERT_TRUE(PumpUntil([&] { return FocusOf(thread) == link; }));
        PostMessageA(link, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(link, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC0000001u));
        PostMessageA(link, WM_KEYDOWN, VK_TAB, 1);  // back on OK: the Enter has been dealt with
        ASSERT_TRUE(PumpUntil([&] { return FocusOf(thread) == ok; }));
        EXPECT_TRUE(PumpUntil([] { return ShellCallsMade >= 1 && ShellCallsRunning == 0; }));
        EXPECT_EQ(1, ShellCallsMade);
        EXPECT_TRUE(IsWindow(dialog));
    });
    CloseHandle(ShellCallReleased);
    PatchImport("shell32.dll", "ShellExecuteExA", realShellExecute);
}

// --- Repeated use --------------------------------------------------------------

namespace {

BOOL CALLBACK CountWindow(HWND, LPARAM counter)
{
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

int CountThreadWindows()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

int CountHeapBlocks()
{
    HANDLE heap = GetProcessHeap();
    int busy = 0;
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(heap);
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
            ++busy;
        }
    }
    HeapUnlock(heap);
    return busy;
}

// Ends each dialog from inside its own modal loop, as fast as it opens.
VOID CALLBACK EndDialogSoon(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(NULL, timer);
    HWND dialog = GetActiveWindow();
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

void OpenAndClose(WORD templateId, DLGPROC proc, HWND owner, int times)
{
    for (int i = 0; i < times; ++i) {
        SetTimer(NULL, 0, 1, EndDialogSoon);
        DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(templateId), owner, proc, 0);
    }
}

// The same template under a procedure that does nothing: what the platform's
// own controls cost per opening (Wine's version 6 controls keep a few heap
// blocks for every window they made).
INT_PTR CALLBACK PlainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

struct Growth {
    int windows;
    int heap;
    DWORD gdi;
};

Growth MeasureOpenings(WORD templateId, DLGPROC proc, HWND owner, int times)
{
    OpenAndClose(templateId, proc, owner, 5);  // caches that the first openings fill for good
    Growth before = { CountThreadWindows(), CountHeapBlocks(), GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) };
    OpenAndClose(templateId, proc, owner, times);
    Growth after = { CountThreadWindows(), CountHeapBlocks(), GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) };
    Growth growth = { after.windows - before.windows, after.heap - before.heap,
                      after.gdi - before.gdi };
    return growth;
}

} // namespace

TEST_F(DialogTest, OpeningBothDialogsManyTimesLeavesNothingBehind)
{
    struct { WORD id; DLGPROC proc; const char* name; } dialogs[] = {
        { IDD_ABOUT, AboutDialogProc, "About" },
        { IDD_SET_KEYS, SetKeysDialogProc, "Set Keys" },
    };
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.name);
        Growth platform = MeasureOpenings(d.id, PlainDialogProc, owner_, 200);
        Growth ours = MeasureOpenings(d.id, d.proc, owner_, 200);
        EXPECT_EQ(0, ours.windows);
        // Under Wine GetGuiResources reports nothing; the hyperlink tests
        // check there that each underlined font is deleted.
        EXPECT_LE(static_cast<int>(ours.gdi), 2);
        EXPECT_LE(ours.heap, platform.heap + 20) << "platform alone: " << platform.heap;
    }
    RemoveSettingsKey();
}
