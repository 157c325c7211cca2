// The volume hook taken away behind the program's back, and the watchdog that
// puts it back.  The real main window runs in this process, with the real
// hook; keys come from the X server (xdotool on Xvfb), the only input that
// also reaches raw input under Wine.  What the program installs is counted
// through this program's import of SetWindowsHookExA, which can also make
// every new hook deaf or refused.
#include <gtest/gtest.h>
#include <windows.h>
#include <wtsapi32.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app_state.h"
#include "hook_state.h"
#include "hook_watchdog.h"
#include "key_binding_set.h"
#include "main_window.h"
#include "resource.h"
#include "session_watch.h"
#include "volume_hook.h"
#include "volume_hook_control.h"
#include "tests/support/import_patch.h"
#include "tests/support/key_input.h"
#include "tests/support/message_pump.h"
#include "tests/support/modal_user.h"
#include "tests/support/player_expectations.h"
#include "tests/support/program_test.h"
#include "tests/support/stand_in_player.h"
#include "tests/support/x_input.h"

namespace {

// --- What the program asks of the system ------------------------------------

enum class NewHooks { Work, Deaf, Refused };
NewHooks NextHooks = NewHooks::Work;
std::vector<DWORD> VolumeHookInstalls;  // the tick of each attempt
decltype(&SetWindowsHookExA) RealSetWindowsHookEx = nullptr;

HHOOK WINAPI CountingSetWindowsHookEx(int type, HOOKPROC procedure, HINSTANCE module, DWORD thread)
{
    if (type == WH_KEYBOARD_LL && procedure == VolumeHookProc) {
        VolumeHookInstalls.push_back(GetTickCount());
        if (NextHooks == NewHooks::Refused) {
            SetLastError(ERROR_ACCESS_DENIED);
            return NULL;
        }
    }
    HHOOK hook = RealSetWindowsHookEx(type, procedure, module, thread);
    if (NextHooks == NewHooks::Deaf && procedure == VolumeHookProc) {
        // Dropped at once, as the system does with a hook it finds slow: the
        // program still holds the handle.
        UnhookWindowsHookEx(hook);
    }
    return hook;
}

int RegistrationFailuresLeft = 0;
std::vector<HWND> RegistrationCalls;
decltype(&WTSRegisterSessionNotification) RealRegister = nullptr;

BOOL WINAPI FailingRegister(HWND window, DWORD flags)
{
    RegistrationCalls.push_back(window);
    if (RegistrationFailuresLeft > 0) {
        --RegistrationFailuresLeft;
        // What the call says before the session's terminal services are up.
        SetLastError(RPC_S_INVALID_BINDING);
        return FALSE;
    }
    return RealRegister(window, flags);
}

void PatchOnce()
{
    if (RealSetWindowsHookEx == nullptr) {
        RealSetWindowsHookEx = reinterpret_cast<decltype(RealSetWindowsHookEx)>(
            PatchImport("user32.dll", "SetWindowsHookExA", reinterpret_cast<void*>(CountingSetWindowsHookEx)));
        RealRegister = reinterpret_cast<decltype(RealRegister)>(PatchImport(
            "wtsapi32.dll", "WTSRegisterSessionNotification", reinterpret_cast<void*>(FailingRegister)));
    }
}

// --- The program in this process --------------------------------------------

class HookWatchdogTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        PatchOnce();
        ASSERT_NE(nullptr, RealSetWindowsHookEx);
        ASSERT_NE(nullptr, RealRegister);
        NextHooks = NewHooks::Work;
        RegistrationFailuresLeft = 0;
        RegistrationCalls.clear();
        HookWatchdog = HookWatchdogState{};
        KeyBindings = KeyBindingSet{ { { 'M', 0 }, { 'L', 0 }, { 'R', 0 } } };
        ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    }

    void TearDown() override
    {
        StopVolumeHook();
        if (IsWindow(window_)) {
            DestroyWindow(window_);
        }
        DestroyStandInPlayer(&player_);
        ProgramTest::TearDown();
    }

    // The main window as start-up makes it, with the hook installed and the
    // window in front, where the X server's keys go.
    void Start()
    {
        window_ = CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainWindowProc, 0);
        ASSERT_NE(nullptr, window_);
        MainWindowHandle = window_;
        ASSERT_TRUE(StartVolumeHook());
        VolumeHookInstalls.clear();
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
        ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window_; }, 5000));
        ASSERT_TRUE(HookWatchdog.listening);
    }

    // Drops the installed hook the way the system does: the program is not
    // told and keeps its handle.  The next key then comes late enough for
    // its time stamp to tell it apart from the last one the hook saw.
    void DropHook()
    {
        ASSERT_TRUE(UnhookWindowsHookEx(VolumeHookHandle));
        DWORD lastSeen = VolumeHookLastEventTime;
        PumpUntil([&] { return GetTickCount() - lastSeen > 2 * HookWatchdogClockSlack; }, 5000);
    }

    testing::AssertionResult RaiseReachesThePlayer()
    {
        int before = player_.count;
        if (!RunXdotool("key r")) {
            return testing::AssertionFailure() << "xdotool failed";
        }
        PumpUntilLogged(&player_, before + 2, 5000);
        return LoggedKeyPress(player_, before, VK_F10);
    }

    // Keeps typing until the program has tried a second hook, from a second
    // thread, which also closes whatever error box comes up (the box is modal
    // on this thread).  Returns the boxes' texts.
    std::vector<std::string> TypeUntilASecondInstall()
    {
        DWORD thread = GetCurrentThreadId();
        std::atomic<bool> done(false), finished(false);
        std::vector<std::string> boxes;
        std::thread user([&] {
            DWORD start = GetTickCount();
            while (!done && GetTickCount() - start < 30000) {
                HWND box = WaitForThreadDialog(thread, "Error", 0);
                if (box != NULL) {
                    boxes.push_back(TextOf(GetDlgItem(box, 0xFFFF)));
                    AnswerBox(box, IDOK);
                    PumpUntil([&] { return !IsWindow(box); }, 5000);
                }
                RunXdotool("key a");
            }
            finished = true;
        });
        PumpUntil([] { return VolumeHookInstalls.size() >= 2; }, 30000);
        PumpUntil([] { return !HookWatchdog.checkPending; }, 5000);
        done = true;
        PumpUntil([&] { return finished.load(); }, 30000);
        user.join();
        return boxes;
    }

    HWND window_ = NULL;
    StandInPlayer player_ = {};
};

} // namespace

TEST_F(HookWatchdogTest, ADroppedHookIsBackAfterTheNextKeyWithControlReadAfresh)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    // Control goes down while the hook is alive, and comes up while it is not.
    ASSERT_TRUE(RunXdotool("keydown ctrl"));
    ASSERT_TRUE(PumpUntil([] { return HeldModifiers == ModifierControl; }, 5000));
    DropHook();
    ASSERT_TRUE(RunXdotool("keyup ctrl"));

    ASSERT_TRUE(PumpUntil([] { return VolumeHookInstalls.size() == 1; }, 5000));
    EXPECT_EQ(0, HeldModifiers);
    EXPECT_TRUE(RaiseReachesThePlayer()) << "a binding without modifiers works at once";
}

TEST_F(HookWatchdogTest, ADeafHookIsReplacedAtMostOncePerFiveSeconds)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    NextHooks = NewHooks::Deaf;
    DropHook();
    TypeUntilASecondInstall();
    ASSERT_EQ(2u, VolumeHookInstalls.size());
    EXPECT_GE(VolumeHookInstalls[1] - VolumeHookInstalls[0], HookWatchdogMinimumInterval);
}

TEST_F(HookWatchdogTest, ARefusedHookIsReportedOnceAndTriedAgain)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    NextHooks = NewHooks::Refused;
    DropHook();
    std::vector<std::string> boxes = TypeUntilASecondInstall();

    ASSERT_EQ(2u, VolumeHookInstalls.size());
    EXPECT_GE(VolumeHookInstalls[1] - VolumeHookInstalls[0], HookWatchdogMinimumInterval);
    ASSERT_EQ(1u, boxes.size()) << "a failure is shown once until a hook works again";
    EXPECT_EQ(0u, boxes[0].find("Trouble setting hook, err=5.")) << boxes[0];
}

TEST_F(HookWatchdogTest, TwoThousandKeysWithALiveHookReplaceNothing)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    // Letters of no binding, then Raise, which arrives once the hook has seen
    // everything before it.
    std::string arguments = "type --delay 0 ";
    for (int i = 0; i < 100; ++i) {
        arguments += "abcdefghij";
    }
    arguments += " key r";
    ASSERT_TRUE(RunXdotool(arguments.c_str()));
    ASSERT_TRUE(PumpUntilLogged(&player_, 2, 20000));
    PumpUntil([] { return !HookWatchdog.checkPending; }, 5000);
    EXPECT_EQ(0u, VolumeHookInstalls.size());
    EXPECT_FALSE(HookWatchdog.hasRestored);
}

TEST_F(HookWatchdogTest, NothingIsInstalledWhileSetKeysIsOpen)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    DWORD thread = GetCurrentThreadId();
    std::atomic<bool> done(false);
    bool keySeen = false, checkArmed = true;
    size_t installsWhileOpen = 99;
    std::thread user([&] {
        HWND dialog = WaitForThreadDialog(thread, "Set Keys", 10000);
        if (dialog != NULL) {
            DWORD before = HookWatchdog.latestRawKeyTime;
            RunXdotool("key a");
            keySeen = PumpUntil([&] { return HookWatchdog.latestRawKeyTime != before; }, 5000);
            // Longer than the watchdog would wait for the hook.
            Sleep(2 * HookWatchdogDelay);
            checkArmed = HookWatchdog.checkPending;
            installsWhileOpen = VolumeHookInstalls.size();
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        done = true;
    });
    PostMessageA(window_, WM_COMMAND, IDC_MAIN_SET_KEYS, 0);
    PumpUntil([&] { return done.load(); }, 30000);
    user.join();
    PumpPendingMessages();

    EXPECT_TRUE(keySeen) << "raw input reached the main window while the dialog was open";
    EXPECT_FALSE(checkArmed);
    EXPECT_EQ(0u, installsWhileOpen);
    EXPECT_EQ(1u, VolumeHookInstalls.size()) << "only the dialog's own re-install";
    EXPECT_TRUE(RaiseReachesThePlayer());
}

TEST_F(HookWatchdogTest, UnlockForgetsAControlWhoseKeyUpTheHookMissed)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    SendKeysPumping({ { VK_LCONTROL, false } });
    ASSERT_EQ(ModifierControl, HeldModifiers);
    ASSERT_TRUE(UnhookWindowsHookEx(VolumeHookHandle));
    SendKeysPumping({ { VK_LCONTROL, true } });

    SendMessageA(window_, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    EXPECT_EQ(1u, VolumeHookInstalls.size());
    EXPECT_EQ(0, HeldModifiers);
    SendKeysPumping({ { 'R', false }, { 'R', true } });
    EXPECT_TRUE(PumpUntilLogged(&player_, 2, 5000));
}

TEST_F(HookWatchdogTest, SessionRegistrationThatFailsIsTriedAgainUntilItWorks)
{
    RegistrationFailuresLeft = 2;
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_FALSE(SessionWatch.registered);
    ASSERT_TRUE(PumpUntil([] { return SessionWatch.registered; }, 20000));
    ASSERT_EQ(3u, RegistrationCalls.size());
    for (HWND window : RegistrationCalls) {
        EXPECT_EQ(window_, window);
    }
}
