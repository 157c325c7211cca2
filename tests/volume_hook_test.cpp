// The volume hook, first driven directly with synthetic events, then installed
// for real and fed with SendInput.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "hook_state.h"
#include "key_binding_set.h"
#include "volume_hook.h"
#include "tests/support/import_patch.h"
#include "tests/support/key_input.h"
#include "tests/support/player_expectations.h"
#include "tests/support/program_test.h"
#include "tests/support/stand_in_player.h"

namespace {

const LPARAM KeyUpLParam = static_cast<LPARAM>(0xC0000001u);

// Fed events never reach the system, whose key state so knows nothing of the
// modifiers they press: here the system holds whatever the hook records.  The
// installed hook further down meets the real key state.
SHORT WINAPI EveryKeyHeld(int) { return static_cast<SHORT>(0x8000); }

void* SteerKeyState(void* function) { return PatchImport("user32.dll", "GetAsyncKeyState", function); }

class VolumeHookTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        realKeyState_ = SteerKeyState(reinterpret_cast<void*>(EveryKeyHeld));
        ASSERT_NE(nullptr, realKeyState_);
    }

    void TearDown() override
    {
        SteerKeyState(realKeyState_);
        DestroyStandInPlayer(&player_);
        ProgramTest::TearDown();
    }

    void Bind(VolumeAction action, BYTE vk, BYTE modifiers)
    {
        KeyBindings[action].vk = vk;
        KeyBindings[action].modifiers = modifiers;
    }

    // Hands one event to the hook procedure as the system would.
    LRESULT Feed(BYTE vk, bool up, int code = HC_ACTION, WPARAM message = 0, DWORD vkHighBits = 0)
    {
        KBDLLHOOKSTRUCT event = {};
        event.vkCode = vk | vkHighBits;
        event.flags = up ? LLKHF_UP : 0;
        if (message == 0) {
            message = up ? WM_KEYUP : WM_KEYDOWN;
        }
        return VolumeHookProc(code, message, reinterpret_cast<LPARAM>(&event));
    }

    // Everything posted to the stand-in player since the last call, taken
    // off its queue with PeekMessageA.
    std::vector<MSG> Posted()
    {
        std::vector<MSG> messages;
        MSG msg;
        while (PeekMessageA(&msg, player_.window, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSKEYUP || msg.message == WM_COMMAND) {
                messages.push_back(msg);
            }
        }
        return messages;
    }

    StandInPlayer player_ = {};
    void* realKeyState_ = nullptr;
};

void ExpectMessage(const MSG& msg, UINT message, WPARAM wParam, LPARAM lParam)
{
    EXPECT_EQ(message, msg.message);
    EXPECT_EQ(wParam, msg.wParam);
    EXPECT_EQ(lParam, msg.lParam);
}

} // namespace

TEST_F(VolumeHookTest, BoundKeyWithPlayerPostsSystemKeysAndIsSwallowed)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    const BYTE keys[3] = { 0xAA, 0xAB, 0xAC };
    const WPARAM playerKeys[3] = { VK_F8, VK_F9, VK_F10 };
    for (int action = 0; action < 3; ++action) {
        EXPECT_EQ(1, Feed(keys[action], false));
        EXPECT_EQ(1, Feed(keys[action], true));
        std::vector<MSG> posted = Posted();
        ASSERT_EQ(2u, posted.size());
        ExpectMessage(posted[0], WM_SYSKEYDOWN, playerKeys[action], 1);
        ExpectMessage(posted[1], WM_SYSKEYUP, playerKeys[action], KeyUpLParam);
    }
}

TEST_F(VolumeHookTest, MinimizedPlayerGetsItsCommandOnKeyDownOnly)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, true));
    ASSERT_TRUE(IsIconic(player_.window));
    const BYTE keys[3] = { 0xAA, 0xAB, 0xAC };
    const WPARAM commands[3] = { 0x4981, 0x4980, 0x497F };
    for (int action = 0; action < 3; ++action) {
        EXPECT_EQ(1, Feed(keys[action], false));
        EXPECT_EQ(1, Feed(keys[action], true));
        std::vector<MSG> posted = Posted();
        ASSERT_EQ(1u, posted.size());
        ExpectMessage(posted[0], WM_COMMAND, commands[action], 0);
    }
}

TEST_F(VolumeHookTest, AutoRepeatPostsEachTime)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    Feed(0xAC, false);
    Feed(0xAC, false);
    Feed(0xAC, false);
    Feed(0xAC, true);
    std::vector<MSG> posted = Posted();
    ASSERT_EQ(4u, posted.size());
    for (int i = 0; i < 3; ++i) {
        ExpectMessage(posted[i], WM_SYSKEYDOWN, VK_F10, 1);
    }
    ExpectMessage(posted[3], WM_SYSKEYUP, VK_F10, KeyUpLParam);
}

TEST_F(VolumeHookTest, SystemKeyEventsAreHandledLikePlainOnes)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    Bind(VolumeAction::Mute, VK_F8, 0);
    // Alt+F8 arrives as a system key; Alt is not tracked, so it fires.
    EXPECT_EQ(1, Feed(VK_F8, false, HC_ACTION, WM_SYSKEYDOWN));
    EXPECT_EQ(1, Feed(VK_F8, true, HC_ACTION, WM_SYSKEYUP));
    std::vector<MSG> posted = Posted();
    ASSERT_EQ(2u, posted.size());
    ExpectMessage(posted[0], WM_SYSKEYDOWN, VK_F8, 1);
    ExpectMessage(posted[1], WM_SYSKEYUP, VK_F8, KeyUpLParam);
}

TEST_F(VolumeHookTest, OnlyTheLowByteOfTheKeyCodeCounts)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    EXPECT_EQ(1, Feed(0xAC, false, HC_ACTION, 0, 0x100));
    ASSERT_EQ(1u, Posted().size());
}

TEST_F(VolumeHookTest, UnboundKeysAndOtherMessagesPassOn)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    EXPECT_EQ(0, Feed('Q', false));
    EXPECT_EQ(0, Feed('Q', true));
    // A message that is no key event is not looked at, bound key or not.
    EXPECT_EQ(0, Feed(0xAC, false, HC_ACTION, WM_CHAR));
    EXPECT_EQ(0, Feed(VK_SHIFT, false, HC_ACTION, WM_MOUSEMOVE));
    EXPECT_EQ(0, HeldModifiers);
    EXPECT_TRUE(Posted().empty());
}

TEST_F(VolumeHookTest, NegativeCodeIsPassedOnUnseen)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    EXPECT_EQ(0, Feed(0xAC, false, -1));
    EXPECT_EQ(0, Feed(VK_LSHIFT, false, -1));
    EXPECT_EQ(0, Feed(VK_CONTROL, false, HC_NOREMOVE));
    EXPECT_EQ(0, HeldModifiers);
    EXPECT_TRUE(Posted().empty());
}

TEST_F(VolumeHookTest, ModifiersMustMatchExactly)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    Bind(VolumeAction::Mute, 'A', ModifierControl);
    EXPECT_EQ(0, Feed('A', false));                 // A alone
    Feed('A', true);
    Feed(VK_LCONTROL, false);
    EXPECT_EQ(1, Feed('A', false));                 // Control+A
    EXPECT_EQ(1, Feed('A', true));
    Feed(VK_RSHIFT, false);
    EXPECT_EQ(0, Feed('A', false));                 // Control+Shift+A: 3 is not 2
    Feed('A', true);
    Feed(VK_RSHIFT, true);
    Feed(VK_LCONTROL, true);
    EXPECT_EQ(0, HeldModifiers);
    EXPECT_EQ(2u, Posted().size());
}

TEST_F(VolumeHookTest, ReleasingEitherShiftKeyClearsShift)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    Bind(VolumeAction::Raise, 'R', ModifierShift);
    Feed(VK_LSHIFT, false);
    Feed(VK_RSHIFT, false);
    EXPECT_EQ(ModifierShift, HeldModifiers);
    Feed(VK_RSHIFT, true);
    EXPECT_EQ(0, HeldModifiers);
    // The left Shift key is still down, but the hook's record says released.
    EXPECT_EQ(0, Feed('R', false));
    Feed('R', true);
    Feed(VK_SHIFT, false);                          // the generic code counts too
    EXPECT_EQ(1, Feed('R', false));
    Feed(VK_SHIFT, true);
    EXPECT_EQ(0, HeldModifiers);
}

TEST_F(VolumeHookTest, ControlCodesSetBitOne)
{
    for (BYTE vk : { BYTE(VK_CONTROL), BYTE(VK_LCONTROL), BYTE(VK_RCONTROL) }) {
        Feed(vk, false);
        EXPECT_EQ(ModifierControl, HeldModifiers);
        Feed(vk, true);
        EXPECT_EQ(0, HeldModifiers);
    }
    Feed(VK_MENU, false);                           // Alt has no bit
    Feed(VK_LWIN, false);
    EXPECT_EQ(0, HeldModifiers);
    Feed(VK_MENU, true);
    Feed(VK_LWIN, true);
}

TEST_F(VolumeHookTest, ABoundModifierKeyIsAnActionNotAModifier)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    Bind(VolumeAction::Mute, VK_LCONTROL, 0);
    Bind(VolumeAction::Raise, 'A', 0);
    EXPECT_EQ(1, Feed(VK_LCONTROL, false));
    EXPECT_EQ(0, HeldModifiers);                    // swallowed events are not tracked
    EXPECT_EQ(1, Feed('A', false));                 // so A still fires without Control
    EXPECT_EQ(1, Feed('A', true));
    EXPECT_EQ(1, Feed(VK_LCONTROL, true));
    std::vector<MSG> posted = Posted();
    ASSERT_EQ(4u, posted.size());
    EXPECT_EQ(WPARAM(VK_F8), posted[0].wParam);
    EXPECT_EQ(WPARAM(VK_F10), posted[1].wParam);
}

TEST_F(VolumeHookTest, GenericShiftBindingIsMatchedOnlyByTheGenericCode)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    Bind(VolumeAction::Lower, VK_SHIFT, 0);
    EXPECT_EQ(0, Feed(VK_LSHIFT, false));
    EXPECT_EQ(ModifierShift, HeldModifiers);
    EXPECT_EQ(0, Feed(VK_LSHIFT, true));
    EXPECT_EQ(0, HeldModifiers);
    EXPECT_EQ(1, Feed(VK_SHIFT, false));
    EXPECT_EQ(0, HeldModifiers);
    EXPECT_EQ(1, Feed(VK_SHIFT, true));
    EXPECT_EQ(2u, Posted().size());
}

TEST_F(VolumeHookTest, FirstMatchingSlotWins)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    Bind(VolumeAction::Mute, 'A', 0);
    Bind(VolumeAction::Raise, 'A', 0);
    Feed('A', false);
    std::vector<MSG> posted = Posted();
    ASSERT_EQ(1u, posted.size());
    EXPECT_EQ(WPARAM(VK_F8), posted[0].wParam);
    Feed('A', true);
    Posted();

    // The same key with different masks is two different bindings.
    Bind(VolumeAction::Raise, 'A', ModifierShift);
    Feed('A', false);
    Feed('A', true);
    Feed(VK_SHIFT, false);
    Feed('A', false);
    Feed('A', true);
    Feed(VK_SHIFT, true);
    posted = Posted();
    ASSERT_EQ(4u, posted.size());
    EXPECT_EQ(WPARAM(VK_F8), posted[0].wParam);
    EXPECT_EQ(WPARAM(VK_F10), posted[2].wParam);
}

TEST_F(VolumeHookTest, OddStoredBindingsNeverFireWrongly)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    // Any byte is a valid code and any byte a valid mask; masks above 3 never
    // match, and a code of 0 matches only an event with code byte 0.
    Bind(VolumeAction::Mute, 'A', 0x04);
    Bind(VolumeAction::Lower, 0, 0);
    Bind(VolumeAction::Raise, 0xFF, 0xFF);
    for (BYTE mods : { BYTE(0), BYTE(1), BYTE(2), BYTE(3) }) {
        HeldModifiers = mods;
        EXPECT_EQ(0, Feed('A', false));
        EXPECT_EQ(0, Feed('A', true));
        EXPECT_EQ(0, Feed(0xFF, false));
        EXPECT_EQ(0, Feed(0xFF, true));
    }
    HeldModifiers = 0;
    EXPECT_EQ(1, Feed(0, false));
    EXPECT_EQ(1, Feed(0, true));
    EXPECT_EQ(2u, Posted().size());
}

TEST_F(VolumeHookTest, WithoutPlayerTheVolumeKeyIsInjected)
{
    KeyObserver observer;
    ASSERT_TRUE(StartKeyObserver(&observer));
    EXPECT_EQ(1, Feed(0xAA, false));
    EXPECT_EQ(1, Feed(0xAA, true));
    EXPECT_EQ(1, Feed(0xAC, false));
    EXPECT_EQ(1, Feed(0xAC, true));
    PumpMessagesFor(200);
    StopKeyObserver(&observer);
    ASSERT_EQ(4, observer.count);
    EXPECT_EQ(VK_VOLUME_MUTE, observer.keys[0].vk);
    EXPECT_FALSE(observer.keys[0].up);
    EXPECT_TRUE(observer.keys[0].injected);
    EXPECT_EQ(VK_VOLUME_MUTE, observer.keys[1].vk);
    EXPECT_TRUE(observer.keys[1].up);
    EXPECT_EQ(VK_VOLUME_UP, observer.keys[2].vk);
    EXPECT_EQ(VK_VOLUME_UP, observer.keys[3].vk);
}

TEST_F(VolumeHookTest, WithoutPlayerABoundVolumeKeyPassesOnUnchanged)
{
    KeyObserver observer;
    ASSERT_TRUE(StartKeyObserver(&observer));
    Bind(VolumeAction::Lower, VK_VOLUME_DOWN, 0);
    HeldModifiers = 0;
    EXPECT_EQ(0, Feed(VK_VOLUME_DOWN, false));
    EXPECT_EQ(0, Feed(VK_VOLUME_DOWN, true));

    // Mute on Volume Down, Lower on Volume Mute: Mute's injected key is bound.
    Bind(VolumeAction::Mute, VK_VOLUME_DOWN, 0);
    Bind(VolumeAction::Lower, VK_VOLUME_MUTE, ModifierShift);
    EXPECT_EQ(0, Feed(VK_VOLUME_DOWN, false));
    EXPECT_EQ(0, Feed(VK_VOLUME_DOWN, true));
    EXPECT_EQ(0, HeldModifiers);
    PumpMessagesFor(200);
    StopKeyObserver(&observer);
    EXPECT_EQ(0, observer.count);                   // nothing was injected
}

// --- Through the operating system -------------------------------------------

class VolumeHookInstalledTest : public VolumeHookTest {
protected:
    void SetUp() override
    {
        VolumeHookTest::SetUp();
        SteerKeyState(realKeyState_);
        // The observer goes in first, so the volume hook (newer) runs before it.
        ASSERT_TRUE(StartKeyObserver(&observer_));
        ASSERT_NE(nullptr, InstallVolumeHook(GetModuleHandleA(NULL)));
    }

    void TearDown() override
    {
        RemoveVolumeHook();
        StopKeyObserver(&observer_);
        VolumeHookTest::TearDown();
    }

    KeyObserver observer_;
};

TEST_F(VolumeHookInstalledTest, BoundKeyReachesThePlayerAndNobodyElse)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    SendKeysPumping({ { 0xAC, false }, { 0xAC, true } });
    ASSERT_TRUE(PumpUntilLogged(&player_, 2, 2000));
    ASSERT_EQ(2, player_.count);
    EXPECT_TRUE(LoggedKeyPress(player_, 0, VK_F10));
    EXPECT_EQ(0, observer_.count);
}

TEST_F(VolumeHookInstalledTest, MinimizedPlayerGetsTheCommand)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, true));
    SendKeysPumping({ { 0xAB, false }, { 0xAB, true } });
    ASSERT_TRUE(PumpUntilLogged(&player_, 1, 2000));
    PumpMessagesFor(100);
    ASSERT_EQ(1, player_.count);
    EXPECT_TRUE(LoggedCommand(player_, 0, 0x4980));
    EXPECT_EQ(0, observer_.count);
}

TEST_F(VolumeHookInstalledTest, UnboundKeysAndWrongModifiersPassThrough)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    Bind(VolumeAction::Mute, 'M', ModifierControl | ModifierShift);
    SendKeysPumping({ { 'Q', false }, { 'Q', true },
           { VK_SHIFT, false }, { 'M', false }, { 'M', true }, { VK_SHIFT, true } });
    ASSERT_EQ(6, observer_.count);
    EXPECT_EQ('Q', observer_.keys[0].vk);
    EXPECT_EQ('M', observer_.keys[3].vk);
    EXPECT_EQ(0, player_.count);

    // Both modifiers, sent once in their generic and once in their left forms.
    observer_.count = 0;
    SendKeysPumping({ { VK_CONTROL, false }, { VK_SHIFT, false }, { 'M', false }, { 'M', true },
           { VK_SHIFT, true }, { VK_CONTROL, true },
           { VK_LCONTROL, false }, { VK_LSHIFT, false }, { 'M', false }, { 'M', true },
           { VK_LSHIFT, true }, { VK_LCONTROL, true } });
    ASSERT_TRUE(PumpUntilLogged(&player_, 4, 2000));
    EXPECT_EQ(4, player_.count);
    EXPECT_EQ(8, observer_.count);                  // the modifiers themselves pass
    for (int i = 0; i < observer_.count; ++i) {
        EXPECT_NE('M', observer_.keys[i].vk);
    }
    EXPECT_EQ(0, HeldModifiers);
}

TEST_F(VolumeHookInstalledTest, WithoutPlayerTheVolumeKeyIsInjectedAndTheUsersKeySwallowed)
{
    SendKeysPumping({ { 0xAA, false }, { 0xAA, true } });
    PumpMessagesFor(200);
    EXPECT_TRUE(SawInjectedPress(observer_, VK_VOLUME_MUTE)) << observer_.count << " keys seen";
}

TEST_F(VolumeHookInstalledTest, WithoutPlayerABoundVolumeKeyIsPassedOnAsIs)
{
    Bind(VolumeAction::Lower, VK_VOLUME_DOWN, 0);
    SendKeysPumping({ { VK_VOLUME_DOWN, false }, { VK_VOLUME_DOWN, true } });
    ASSERT_EQ(2, observer_.count);
    EXPECT_EQ(VK_VOLUME_DOWN, observer_.keys[0].vk);
    EXPECT_EQ(VK_VOLUME_DOWN, observer_.keys[1].vk);
}

TEST_F(VolumeHookInstalledTest, RemovedHookLetsEverythingThrough)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    RemoveVolumeHook();
    EXPECT_EQ(nullptr, VolumeHookHandle);
    SendKeysPumping({ { 0xAC, false }, { 0xAC, true } });
    EXPECT_EQ(2, observer_.count);
    EXPECT_EQ(0, player_.count);
}

TEST_F(VolumeHookInstalledTest, AModifierLetGoOutOfSightNoLongerSilencesTheKeys)
{
    ASSERT_TRUE(CreateStandInPlayer(&player_, false));
    // Control goes down where the hook sees it, and comes up where it does not
    // (an elevated window or the secure desktop took the key-up).
    SendKeysPumping({ { VK_LCONTROL, false } });
    ASSERT_EQ(ModifierControl, HeldModifiers);
    RemoveVolumeHook();
    SendKeysPumping({ { VK_LCONTROL, true } });
    ASSERT_NE(nullptr, InstallVolumeHook(GetModuleHandleA(NULL)));
    ASSERT_EQ(ModifierControl, HeldModifiers) << "nothing re-read the keyboard";
    // Another program asks for the key, as many do: its "pressed since the
    // last call" bit is clear now, and only the "down" bit says it is up.
    GetAsyncKeyState(VK_CONTROL);

    SendKeysPumping({ { 0xAC, false }, { 0xAC, true } });
    ASSERT_TRUE(PumpUntilLogged(&player_, 2, 2000));
    EXPECT_TRUE(LoggedKeyPress(player_, 0, VK_F10));
    EXPECT_EQ(0, HeldModifiers);

    // A Control really held still keeps a binding without it from matching.
    observer_.count = 0;
    SendKeysPumping({ { VK_LCONTROL, false }, { 0xAC, false }, { 0xAC, true }, { VK_LCONTROL, true } });
    EXPECT_EQ(2, player_.count);
    EXPECT_EQ(4, observer_.count);

    // A Shift let go out of sight is forgotten too, and only Shift: the
    // Control still held keeps counting.
    Bind(VolumeAction::Raise, 0xAC, ModifierControl);
    SendKeysPumping({ { VK_LCONTROL, false }, { VK_LSHIFT, false } });
    ASSERT_EQ(ModifierControl | ModifierShift, HeldModifiers);
    RemoveVolumeHook();
    SendKeysPumping({ { VK_LSHIFT, true } });
    ASSERT_NE(nullptr, InstallVolumeHook(GetModuleHandleA(NULL)));
    GetAsyncKeyState(VK_SHIFT);
    SendKeysPumping({ { 0xAC, false }, { 0xAC, true }, { VK_LCONTROL, true } });
    EXPECT_TRUE(PumpUntilLogged(&player_, 4, 2000));
    EXPECT_EQ(0, HeldModifiers);
}
