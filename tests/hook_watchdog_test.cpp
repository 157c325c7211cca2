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
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app_state.h"
#include "hook_state.h"
#include "hook_watchdog.h"
#include "key_binding_set.h"
#include "main_window.h"
#include "main_window_timers.h"
#include "resource.h"
#include "session_watch.h"
#include "startup.h"
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
decltype(&GetProcAddress) RealGetProcAddress = nullptr;

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

// Start-up's request that Windows not slow down, on battery, the thread that
// answers the hook.
PROCESS_POWER_THROTTLING_STATE ThrottlingRequest = {};

BOOL WINAPI RecordThrottling(HANDLE, PROCESS_INFORMATION_CLASS kind, LPVOID data, DWORD size)
{
    if (kind == ProcessPowerThrottling && size == sizeof ThrottlingRequest) {
        ThrottlingRequest = *static_cast<PROCESS_POWER_THROTTLING_STATE*>(data);
    }
    return TRUE;
}

// The program finds the registration in wtsapi32.dll and the request in
// kernel32.dll when it needs them: it gets the failing and the recording one.
FARPROC WINAPI SteeringGetProcAddress(HMODULE module, LPCSTR name)
{
    FARPROC real = RealGetProcAddress(module, name);
    if (!IS_INTRESOURCE(name) && lstrcmpA(name, "SetProcessInformation") == 0) {
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(RecordThrottling));
    }
    if (real == NULL || IS_INTRESOURCE(name) || lstrcmpA(name, "WTSRegisterSessionNotification") != 0) {
        return real;
    }
    RealRegister = reinterpret_cast<decltype(RealRegister)>(reinterpret_cast<void (*)()>(real));
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(FailingRegister));
}

// The program's clock: its ticks and the times of the messages it handles.
// Running as the system's unless a test stops it at a tick of its choosing,
// where it stays until the test moves it (the waits of the tests keep their
// own time).
bool ClockStopped = false;
DWORD StoppedTick = 0;
decltype(&GetTickCount) RealGetTickCount = nullptr;
decltype(&GetMessageTime) RealGetMessageTime = nullptr;

DWORD WINAPI SteeredGetTickCount()
{
    return ClockStopped ? StoppedTick : RealGetTickCount();
}

LONG WINAPI SteeredGetMessageTime()
{
    return ClockStopped ? static_cast<LONG>(StoppedTick) : RealGetMessageTime();
}

// How long the watchdog asks to wait before each of its checks.
std::vector<UINT> CheckDelays;
decltype(&SetTimer) RealSetTimer = nullptr;

UINT_PTR WINAPI RecordingSetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure)
{
    if (id == HookWatchdogTimer) {
        CheckDelays.push_back(elapse);
    }
    return RealSetTimer(window, id, elapse, procedure);
}

void PatchOnce()
{
    if (RealSetWindowsHookEx == nullptr) {
        RealSetWindowsHookEx = reinterpret_cast<decltype(RealSetWindowsHookEx)>(
            PatchImport("user32.dll", "SetWindowsHookExA", reinterpret_cast<void*>(CountingSetWindowsHookEx)));
        RealGetProcAddress = reinterpret_cast<decltype(RealGetProcAddress)>(
            PatchImport("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(SteeringGetProcAddress)));
        RealGetTickCount = reinterpret_cast<decltype(RealGetTickCount)>(
            PatchImport("kernel32.dll", "GetTickCount", reinterpret_cast<void*>(SteeredGetTickCount)));
        RealGetMessageTime = reinterpret_cast<decltype(RealGetMessageTime)>(
            PatchImport("user32.dll", "GetMessageTime", reinterpret_cast<void*>(SteeredGetMessageTime)));
        RealSetTimer = reinterpret_cast<decltype(RealSetTimer)>(
            PatchImport("user32.dll", "SetTimer", reinterpret_cast<void*>(RecordingSetTimer)));
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
        ASSERT_NE(nullptr, RealGetProcAddress);
        ASSERT_NE(nullptr, RealGetTickCount);
        ASSERT_NE(nullptr, RealGetMessageTime);
        ASSERT_NE(nullptr, RealSetTimer);
        ClockStopped = false;
        CheckDelays.clear();
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
        ClockStopped = false;
        ProgramTest::TearDown();
    }

    // The main window as start-up makes it, in front, where the X server's
    // keys go, with the hook installed unless the test does that itself.
    void Start(bool install = true)
    {
        window_ = CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainWindowProc, 0);
        ASSERT_NE(nullptr, window_);
        MainWindowHandle = window_;
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
        ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window_; }, 5000));
        ASSERT_TRUE(HookWatchdog.listening);
        if (install) {
            ASSERT_TRUE(StartVolumeHook());
        }
        VolumeHookInstalls.clear();
    }

    // Drops the installed hook the way the system does: the program is not
    // told and keeps its handle.  The next key then comes late enough for
    // its time stamp to tell it apart from the last one the hook saw.
    void DropHook()
    {
        ASSERT_TRUE(UnhookWindowsHookEx(VolumeHookHandle));
        DWORD lastSeen = VolumeHookLastCallTick;
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

    // Runs the action on this thread while a second thread plays the user,
    // typing keys if asked: it answers every error box (the box is modal on
    // this thread) and cancels Set Keys.  Returns the boxes' texts.
    std::vector<std::string> AnsweringBoxes(const std::function<void()>& action, bool typing = false)
    {
        DWORD thread = GetCurrentThreadId();
        std::atomic<bool> done(false);
        std::vector<std::string> boxes;
        std::thread user([&] {
            while (!done) {
                HWND box = WaitForThreadDialog(thread, "Error", 0);
                HWND setKeys = WaitForThreadDialog(thread, "Set Keys", 0);
                if (box != NULL) {
                    boxes.push_back(TextOf(GetDlgItem(box, 0xFFFF)));
                    AnswerBox(box, IDOK);
                } else if (setKeys != NULL) {
                    PostMessageA(setKeys, WM_COMMAND, IDCANCEL, 0);
                }
                PumpUntil([&] { return !IsWindow(box) && !IsWindow(setKeys); }, 5000);
                if (typing) {
                    RunXdotool("key a");
                } else {
                    Sleep(10);
                }
            }
        });
        action();
        done = true;
        user.join();
        return boxes;
    }

    // Keeps typing until the program has tried that many hooks in all.
    std::vector<std::string> TypeUntilInstalls(size_t installs)
    {
        return AnsweringBoxes([&] {
            PumpUntil([&] { return VolumeHookInstalls.size() >= installs; }, 30000);
            PumpUntil([] { return !HookWatchdog.checkPending; }, 5000);
        }, true);
    }

    void Unlock() { SendMessageA(window_, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0); }

    // Types a key at that tick of the stopped clock, and waits until the
    // watchdog is done with it.
    void TypeAt(DWORD tick)
    {
        StoppedTick = tick;
        ASSERT_TRUE(RunXdotool("key a"));
        ASSERT_TRUE(PumpUntil([&] { return HookWatchdog.latestRawKeyTime == tick; }, 5000));
        ASSERT_TRUE(PumpUntil([] { return !HookWatchdog.checkPending; }, 5000));
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

// The clock stands still unless the test moves it, four seconds before the
// tick wraps (after 49.7 days): the replacements are told apart by the
// program's own clock, whatever the machine's speed.
TEST_F(HookWatchdogTest, AcrossTheWrapOfTheTickADroppedHookIsBackAtTheNextKeyAndReplacedAtMostEveryFiveSeconds)
{
    const DWORD FiveSeconds = 5000;
    ClockStopped = true;
    StoppedTick = 0xFFFFF000u;
    ASSERT_NO_FATAL_FAILURE(Start());
    NextHooks = NewHooks::Deaf;
    ASSERT_TRUE(UnhookWindowsHookEx(VolumeHookHandle));

    ASSERT_NO_FATAL_FAILURE(TypeAt(VolumeHookInstallTick + 1000));
    ASSERT_EQ(1u, CheckDelays.size());
    EXPECT_LE(CheckDelays[0], 1000u) << "the check comes within a second of the key";
    ASSERT_EQ(1u, VolumeHookInstalls.size()) << "the first replacement waits for the check alone";
    DWORD replaced = VolumeHookInstalls[0];
    // The wrap falls between these two.
    for (DWORD later : { DWORD(200), FiveSeconds - 1 }) {
        ASSERT_NO_FATAL_FAILURE(TypeAt(replaced + later));
        EXPECT_EQ(1u, VolumeHookInstalls.size()) << later << " ms after the replacement";
    }
    ASSERT_NO_FATAL_FAILURE(TypeAt(replaced + FiveSeconds));
    EXPECT_EQ(2u, VolumeHookInstalls.size());
}

TEST_F(HookWatchdogTest, ADeafHookIsReplacedAtMostOncePerFiveSeconds)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    NextHooks = NewHooks::Deaf;
    DropHook();
    TypeUntilInstalls(2);
    ASSERT_EQ(2u, VolumeHookInstalls.size());
    EXPECT_GE(VolumeHookInstalls[1] - VolumeHookInstalls[0], HookWatchdogMinimumInterval);
}

TEST_F(HookWatchdogTest, ARefusedHookIsReportedOnceAndTriedAgain)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    NextHooks = NewHooks::Refused;
    DropHook();
    std::vector<std::string> boxes = TypeUntilInstalls(2);

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
    bool keySeen = false, checkArmed = true, secondCommandReturned = false;
    size_t installsWhileOpen = 99;
    std::thread user([&] {
        HWND dialog = WaitForThreadDialog(thread, "Set Keys", 10000);
        if (dialog != NULL) {
            DWORD before = HookWatchdog.latestRawKeyTime;
            RunXdotool("key a");
            keySeen = PumpUntil([&] { return HookWatchdog.latestRawKeyTime != before; }, 5000);
            // Longer than the watchdog would wait for the hook.
            Sleep(2 * HookWatchdogDelay);
            // A second Set Keys command meanwhile does nothing: no second
            // dialog, whose end would put the hook back under this one.
            DWORD_PTR ignored = 0;
            secondCommandReturned
                = SendMessageTimeoutA(window_, WM_COMMAND, IDC_MAIN_SET_KEYS, 0, SMTO_NORMAL, 5000, &ignored) != 0;
            checkArmed = HookWatchdog.checkPending;
            installsWhileOpen = VolumeHookInstalls.size();
        }
        for (HWND open; (open = WaitForThreadDialog(thread, "Set Keys", 0)) != NULL;) {
            PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
            PumpUntil([&] { return !IsWindow(open); }, 5000);
        }
        done = true;
    });
    PostMessageA(window_, WM_COMMAND, IDC_MAIN_SET_KEYS, 0);
    PumpUntil([&] { return done.load(); }, 30000);
    user.join();
    PumpPendingMessages();

    EXPECT_TRUE(keySeen) << "raw input reached the main window while the dialog was open";
    EXPECT_FALSE(checkArmed);
    EXPECT_TRUE(secondCommandReturned);
    EXPECT_EQ(0u, installsWhileOpen);
    EXPECT_EQ(1u, VolumeHookInstalls.size()) << "only the dialog's own re-install";
    EXPECT_TRUE(RaiseReachesThePlayer());
}

TEST_F(HookWatchdogTest, AKeyFromBeforeTheInstallDoesNotCountAgainstTheNewHook)
{
    ASSERT_NO_FATAL_FAILURE(Start(false));
    // A key typed after raw input was registered and before the hook went
    // in, whose raw input is handled only after the install.  Wine turns an X
    // key into input when the thread next waits for messages: this wait
    // takes it in without handling its messages.
    XdotoolRun run;
    ASSERT_TRUE(StartXdotool("key a", &run));
    bool typed = false;
    for (DWORD start = GetTickCount(); !XdotoolEnded(&run, &typed) && GetTickCount() - start < 20000;) {
        Sleep(10);
    }
    ASSERT_TRUE(typed);
    MsgWaitForMultipleObjects(0, NULL, FALSE, 0, QS_ALLINPUT);
    DWORD before = HookWatchdog.latestRawKeyTime;
    ASSERT_TRUE(StartVolumeHook());

    ASSERT_TRUE(PumpUntil([&] { return HookWatchdog.latestRawKeyTime != before; }, 5000));
    PumpUntil([] { return !HookWatchdog.checkPending; }, 5000);
    EXPECT_EQ(1u, VolumeHookInstalls.size()) << "the new hook was replaced";
}

TEST_F(HookWatchdogTest, AKeyStampedDaysAheadDoesNotBlindTheWatchdog)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    // Any program may stamp the keys it injects as it likes.
    DWORD ahead = GetTickCount() + 3 * 24 * 3600 * 1000u;
    SendKeysPumping({ { 'Q', false, ahead }, { 'Q', true, ahead } });
    DropHook();
    ASSERT_TRUE(RunXdotool("key a"));
    EXPECT_TRUE(PumpUntil([] { return VolumeHookInstalls.size() == 1; }, 5000));
}

TEST_F(HookWatchdogTest, KeysTypedIntoAnotherProgramBringADroppedHookBack)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    // Wine's own Notepad in front, with the X focus: the keys are typed into
    // it.  (The virtual display's Wine ends with the test program.)
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION notepad = {};
    char commandLine[] = "notepad.exe";
    ASSERT_TRUE(CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &notepad));
    HWND other = NULL;
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(other = FindWindowA("Notepad", NULL)); }, 20000));
    SetForegroundWindow(other);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == other; }, 5000));
    DropHook();
    ASSERT_TRUE(RunXdotool("key a"));
    EXPECT_TRUE(PumpUntil([] { return VolumeHookInstalls.size() == 1; }, 5000));
    TerminateProcess(notepad.hProcess, 0);
    CloseHandle(notepad.hThread);
    CloseHandle(notepad.hProcess);
}

TEST_F(HookWatchdogTest, ARefusedInstallKeepsTheHookThatWorksAndIsShownOnceForARunOfFailures)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    NextHooks = NewHooks::Refused;
    std::vector<std::string> boxes = AnsweringBoxes([&] {
        Unlock();
        EXPECT_TRUE(RaiseReachesThePlayer()) << "the hook from before the refusal still works";
    });
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(0u, boxes[0].find("Trouble setting hook, err=5.")) << boxes[0];
    EXPECT_EQ(0u, AnsweringBoxes([&] { SendMessageA(window_, WM_COMMAND, IDC_MAIN_SET_KEYS, 0); }).size())
        << "Set Keys met the same failure";
    EXPECT_EQ(0u, TypeUntilInstalls(3).size()) << "the watchdog met the same failure";
    ASSERT_EQ(3u, VolumeHookInstalls.size());

    NextHooks = NewHooks::Work;
    Unlock();
    NextHooks = NewHooks::Refused;
    EXPECT_EQ(1u, AnsweringBoxes([&] { Unlock(); }).size()) << "a new failure after a hook went in again";
}

TEST_F(HookWatchdogTest, UnlockForgetsAControlWhoseKeyUpTheHookMissedAndKeepsOneStillHeld)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    SendKeysPumping({ { VK_LCONTROL, false } });
    ASSERT_EQ(ModifierControl, HeldModifiers);
    // The second look finds Control down, though no longer newly pressed.
    Unlock();
    Unlock();
    EXPECT_EQ(ModifierControl, HeldModifiers) << "a Control still held counts";
    ASSERT_TRUE(UnhookWindowsHookEx(VolumeHookHandle));
    SendKeysPumping({ { VK_LCONTROL, true } });

    Unlock();
    EXPECT_EQ(3u, VolumeHookInstalls.size());
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

TEST_F(HookWatchdogTest, StartUpAsksForFullSpeedOnBattery)
{
    PostQuitMessage(0);  // the program's loop ends as soon as it starts
    EXPECT_EQ(0, RunMirelle(GetModuleHandleA(NULL), SW_HIDE));
    DestroyWindow(MainWindowHandle);
    EXPECT_EQ(static_cast<ULONG>(PROCESS_POWER_THROTTLING_CURRENT_VERSION), ThrottlingRequest.Version);
    EXPECT_EQ(static_cast<ULONG>(PROCESS_POWER_THROTTLING_EXECUTION_SPEED), ThrottlingRequest.ControlMask);
    EXPECT_EQ(0u, ThrottlingRequest.StateMask);
}
