// A long random run of key events through the installed volume hook, checked
// event by event against a reference model of the hook's rules that is
// written here on its own, without the hook's code.
//
// Three low-level hooks of this process see every event, newest first:
//   tagger   - installed last, so it sees each event before the volume hook,
//              notes whether the system holds Shift and Control at that
//              moment, and learns from CallNextHookEx whether the event was
//              swallowed;
//   volume   - the hook under test;
//   observer - installed first, so it sees only what the volume hook passes
//              on, and the volume keys that it injects.
// A stand-in player window records what is posted to it.  Each event is sent
// with SendInput from a worker thread, tagged with its own dwExtraInfo, while
// this thread pumps messages (hooks are called on the thread that installed
// them, and only while it waits for messages).
//
// The run is random but reproducible: the seed is printed, and the variable
// MIRELLE_SOAK_SEED (decimal, or hex with 0x) repeats a run.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hook_state.h"
#include "key_binding_set.h"
#include "volume_hook.h"
#include "tests/support/program_test.h"
#include "tests/support/stand_in_player.h"
#include "tests/support/soak_random.h"

namespace {

const int SegmentCount = 40;
const int EventsPerSegment = 500;


// --- The reference model -------------------------------------------------------

enum class Player { None, Normal, Minimized };

const char* PlayerName(Player player)
{
    switch (player) {
    case Player::None:
        return "no player";
    case Player::Normal:
        return "normal player";
    default:
        return "minimized player";
    }
}

struct Binding {
    BYTE vk;
    BYTE mask;
};

// What should become of one event.
struct Outcome {
    int action;         // the matching binding, -1 for none
    bool passOn;
    BYTE injected;      // volume key injected in its place, 0 for none
    bool posts;         // something is posted to the player
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool forgot;        // a modifier the system says is up left the record
};

// The hook's rules as its user is promised them.  Per action (Mute, Lower,
// Raise): the volume key injected without a player, the key posted to a
// player that is not minimized, and the command posted to a minimized one.
const BYTE VolumeKeyOf[3] = { 0xAD, 0xAE, 0xAF };
const WPARAM PlayerKeyOf[3] = { 0x77, 0x78, 0x79 };
const WPARAM PlayerCommandOf[3] = { 18817, 18816, 18815 };

struct Model {
    Binding slot[3];
    BYTE held;          // bit 0 Shift, bit 1 Control, as seen through the hook
    Player player;

    // systemHeld: Shift and Control as the system holds them when the event
    // comes, in the same bits.  A bound key first forgets what the system
    // says is up: the key-up may have gone where no hook sees it.
    Outcome Apply(BYTE code, bool up, BYTE systemHeld)
    {
        Outcome outcome = { -1, true, 0, false, 0, 0, 0, false };
        if (slot[0].vk == code || slot[1].vk == code || slot[2].vk == code) {
            outcome.forgot = (held & ~systemHeld) != 0;
            held = static_cast<BYTE>(held & systemHeld);
        }
        int action = -1;
        for (int i = 0; i < 3 && action < 0; ++i) {
            if (slot[i].vk == code && slot[i].mask == held) {
                action = i;
            }
        }
        outcome.action = action;
        if (action < 0) {
            BYTE bit = 0;
            if (code == 0x10 || code == 0xA0 || code == 0xA1) {
                bit = 1;
            } else if (code == 0x11 || code == 0xA2 || code == 0xA3) {
                bit = 2;
            }
            held = up ? static_cast<BYTE>(held & ~bit) : static_cast<BYTE>(held | bit);
            return outcome;
        }
        switch (player) {
        case Player::Normal:
            outcome.passOn = false;
            outcome.posts = true;
            outcome.message = up ? WM_SYSKEYUP : WM_SYSKEYDOWN;
            outcome.wParam = PlayerKeyOf[action];
            outcome.lParam = up ? static_cast<LPARAM>(0xC0000001u) : 1;
            break;
        case Player::Minimized:
            outcome.passOn = false;
            if (!up) {
                outcome.posts = true;
                outcome.message = WM_COMMAND;
                outcome.wParam = PlayerCommandOf[action];
                outcome.lParam = 0;
            }
            break;
        case Player::None: {
            BYTE volumeKey = VolumeKeyOf[action];
            bool bound = slot[0].vk == volumeKey || slot[1].vk == volumeKey || slot[2].vk == volumeKey;
            if (!bound) {
                outcome.passOn = false;
                outcome.injected = volumeKey;
            }
            break;
        }
        }
        return outcome;
    }
};

std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string Describe(const Model& model)
{
    std::string text = std::string(PlayerName(model.player)) + ", bindings";
    for (const Binding& b : model.slot) {
        text += " {" + Hex(b.vk) + "," + Hex(b.mask) + "}";
    }
    return text + ", held " + Hex(model.held);
}

std::string Describe(const Outcome& outcome)
{
    std::string text = outcome.passOn ? "passed on" : "swallowed";
    if (outcome.injected != 0) {
        text += ", injects " + Hex(outcome.injected);
    }
    if (outcome.posts) {
        text += ", posts " + Hex(outcome.message) + " " + Hex(static_cast<unsigned>(outcome.wParam)) + " "
            + Hex(static_cast<unsigned>(outcome.lParam));
    }
    return text;
}

// --- The events and what the hooks saw of them ---------------------------------

struct SentEvent {
    WORD vk;            // as handed to SendInput; the hook looks at the low byte
    bool up;
    ULONG_PTR tag;
};

struct SeenEvent {
    ULONG_PTR tag;
    DWORD vkCode;
    DWORD flags;
    WPARAM message;
    LRESULT result;     // tagger only: what the hooks after it returned
    BYTE systemHeld;    // tagger only: Shift and Control held in the system
};

std::vector<SeenEvent> TaggerLog;
std::vector<SeenEvent> ObserverLog;
HHOOK TaggerHook = NULL;
HHOOK ObserverHook = NULL;

SeenEvent Seen(WPARAM message, LPARAM lParam)
{
    const KBDLLHOOKSTRUCT* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    SeenEvent seen = { event->dwExtraInfo, event->vkCode, event->flags, message, 0, 0 };
    return seen;
}

LRESULT CALLBACK TaggerProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code != HC_ACTION) {
        return CallNextHookEx(TaggerHook, code, wParam, lParam);
    }
    // The entry is made before the event goes on, so an event injected while
    // the volume hook handles this one is listed after it.
    size_t index = TaggerLog.size();
    TaggerLog.push_back(Seen(wParam, lParam));
    TaggerLog[index].systemHeld = static_cast<BYTE>((GetAsyncKeyState(VK_SHIFT) < 0 ? 1 : 0)
                                                    | (GetAsyncKeyState(VK_CONTROL) < 0 ? 2 : 0));
    LRESULT result = CallNextHookEx(TaggerHook, code, wParam, lParam);
    TaggerLog[index].result = result;
    return result;
}

LRESULT CALLBACK ObserverProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        ObserverLog.push_back(Seen(wParam, lParam));
    }
    return CallNextHookEx(ObserverHook, code, wParam, lParam);
}

struct SendJob {
    const std::vector<SentEvent>* events;
    int failed;
};

DWORD WINAPI SendThread(void* parameter)
{
    SendJob* job = static_cast<SendJob*>(parameter);
    for (const SentEvent& event : *job->events) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = event.vk;
        input.ki.dwFlags = event.up ? KEYEVENTF_KEYUP : 0;
        input.ki.dwExtraInfo = event.tag;
        if (SendInput(1, &input, sizeof input) != 1) {
            job->failed++;
        }
    }
    return 0;
}

// Sends the events and keeps this thread's messages flowing until the worker
// is done; then hands out whatever the hook has posted meanwhile.
int SendPumping(const std::vector<SentEvent>& events)
{
    SendJob job = { &events, 0 };
    HANDLE thread = CreateThread(NULL, 0, SendThread, &job, 0, NULL);
    if (thread == NULL) {
        return static_cast<int>(events.size());
    }
    for (;;) {
        DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, 30000, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0 + 1) {
            PumpPendingMessages();
            continue;
        }
        break;
    }
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    PumpPendingMessages();
    return job.failed;
}

// --- The random run ---------------------------------------------------------------

const BYTE ModifierCodes[] = { 0x10, 0x11, 0xA0, 0xA1, 0xA2, 0xA3 };
const BYTE VolumeCodes[] = { 0xAD, 0xAE, 0xAF };
const BYTE DefaultCodes[] = { 0xAA, 0xAB, 0xAC };
const BYTE Letters[] = { 'A', 'M', 'Q', 'Z' };
// F8 and F10 are the player's own keys; Alt turns key events into system-key
// events (WM_SYSKEYDOWN), which count the same as plain ones.
const BYTE OtherCodes[] = { VK_F8, VK_F10, VK_MENU, VK_LMENU, '0', 0xBB };

BYTE RandomBindingKey(Random& random)
{
    unsigned roll = random.Below(100);
    if (roll < 22) {
        return random.Pick(VolumeCodes);
    }
    if (roll < 40) {
        return random.Pick(ModifierCodes);
    }
    if (roll < 60) {
        return random.Pick(DefaultCodes);
    }
    if (roll < 85) {
        return random.Pick(Letters);
    }
    if (roll < 95) {
        return random.Pick(OtherCodes);
    }
    return 0;  // "no key": matched only by an event whose code byte is 0
}

void RandomBindings(Random& random, Binding (&slot)[3])
{
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && random.Chance(20)) {
            // The same key as an earlier slot, with the same or another mask.
            slot[i].vk = slot[random.Below(static_cast<unsigned>(i))].vk;
        } else {
            slot[i].vk = RandomBindingKey(random);
        }
        // Stored settings may carry mask bits that never match.
        slot[i].mask = random.Chance(8) ? static_cast<BYTE>(4 + random.Below(252)) : static_cast<BYTE>(random.Below(4));
    }
}

WORD RandomEventKey(Random& random, const Binding (&slot)[3])
{
    unsigned roll = random.Below(100);
    if (roll < 32) {
        return slot[random.Below(3)].vk;
    }
    if (roll < 62) {
        return random.Pick(ModifierCodes);
    }
    if (roll < 72) {
        return random.Pick(VolumeCodes);
    }
    if (roll < 77) {
        return random.Pick(DefaultCodes);
    }
    if (roll < 87) {
        return random.Pick(Letters);
    }
    if (roll < 93) {
        return random.Pick(OtherCodes);
    }
    if (roll < 96) {
        return 0;
    }
    // A code with bits above the low byte: only the low byte counts.
    return static_cast<WORD>(0x100 | slot[random.Below(3)].vk);
}

// Walks the events in order, each taking from the three observed streams
// what the model says it should produce; the first difference is reported
// with the whole situation.  Returns false on a difference.  The model ends
// as the segment left it, and the tally counts its outcomes.
struct Tally {
    int swallowed, injected, posted, passedOnAlthoughBound, forgotten;
};

bool CompareSegment(unsigned seed, int segment, Model& model, const std::vector<SentEvent>& events,
                    const StandInPlayer& player, Tally* tally)
{
    std::vector<const SeenEvent*> taggedUser, taggedInjected, passedUser, passedInjected;
    for (const SeenEvent& seen : TaggerLog) {
        (seen.tag != 0 ? taggedUser : taggedInjected).push_back(&seen);
    }
    for (const SeenEvent& seen : ObserverLog) {
        (seen.tag != 0 ? passedUser : passedInjected).push_back(&seen);
    }
    size_t nextPassed = 0, nextInjected = 0;
    int nextPost = 0;

    std::string where = "seed " + std::to_string(seed) + " (MIRELLE_SOAK_SEED=" + std::to_string(seed)
        + " repeats it), segment " + std::to_string(segment);
    if (taggedUser.size() != events.size()) {
        ADD_FAILURE() << where << ": the system delivered " << taggedUser.size() << " of " << events.size()
                      << " events to the hooks";
        return false;
    }

    for (size_t i = 0; i < events.size(); ++i) {
        const SentEvent& sent = events[i];
        const SeenEvent& tagged = *taggedUser[i];
        std::string situation = Describe(model) + ", system holds " + Hex(tagged.systemHeld);
        BYTE code = static_cast<BYTE>(sent.vk);
        Outcome expected = model.Apply(code, sent.up, tagged.systemHeld);
        tally->swallowed += expected.passOn ? 0 : 1;
        tally->injected += expected.injected != 0 ? 1 : 0;
        tally->posted += expected.posts ? 1 : 0;
        tally->passedOnAlthoughBound += (expected.action >= 0 && expected.passOn) ? 1 : 0;
        tally->forgotten += expected.forgot ? 1 : 0;
        std::string event = where + ", event " + std::to_string(i) + ": " + Hex(sent.vk) + (sent.up ? " up" : " down")
            + " with " + situation + "; expected " + Describe(expected);

        if (tagged.tag != sent.tag || tagged.vkCode != sent.vk || ((tagged.flags & LLKHF_UP) != 0) != sent.up) {
            ADD_FAILURE() << event << "; the system delivered event tag " << tagged.tag << " vk " << Hex(tagged.vkCode)
                          << " instead";
            return false;
        }
        bool swallowed = tagged.result != 0;
        if (swallowed == expected.passOn) {
            ADD_FAILURE() << event << "; but it was " << (swallowed ? "swallowed" : "passed on");
            return false;
        }
        if (expected.passOn) {
            if (nextPassed >= passedUser.size() || passedUser[nextPassed]->tag != sent.tag) {
                ADD_FAILURE() << event << "; the next hook did not get it as the next passed-on event";
                return false;
            }
            const SeenEvent& passed = *passedUser[nextPassed++];
            if (passed.vkCode != tagged.vkCode || passed.flags != tagged.flags || passed.message != tagged.message) {
                ADD_FAILURE() << event << "; it was passed on changed: vk " << Hex(passed.vkCode) << " flags "
                              << Hex(passed.flags) << " message " << Hex(static_cast<unsigned>(passed.message));
                return false;
            }
        }
        if (expected.injected != 0) {
            // The injected event passes through the hooks like any other: the
            // model, too, must find that it matches nothing.
            Outcome echo = model.Apply(expected.injected, sent.up, tagged.systemHeld);
            EXPECT_TRUE(echo.passOn && echo.injected == 0 && !echo.posts) << event << "; the model injects a bound key";
            if (nextInjected >= passedInjected.size() || nextInjected >= taggedInjected.size()) {
                ADD_FAILURE() << event << "; no injected key reached the next hook";
                return false;
            }
            const SeenEvent& injected = *passedInjected[nextInjected];
            const SeenEvent& injectedTagged = *taggedInjected[nextInjected];
            nextInjected++;
            if (injected.vkCode != expected.injected || ((injected.flags & LLKHF_UP) != 0) != sent.up
                || (injected.flags & LLKHF_INJECTED) == 0) {
                ADD_FAILURE() << event << "; the injected key was vk " << Hex(injected.vkCode) << " flags "
                              << Hex(injected.flags);
                return false;
            }
            if (injectedTagged.result != 0) {
                ADD_FAILURE() << event << "; the hook swallowed its own injected key";
                return false;
            }
        }
        if (expected.posts) {
            // Posts are read back in order, so a surplus from an earlier
            // event shows up here.
            if (nextPost >= player.count) {
                ADD_FAILURE() << event << "; the player got nothing as its message " << nextPost;
                return false;
            }
            const PlayerMessage& got = player.log[nextPost++];
            if (got.message != expected.message || got.wParam != expected.wParam || got.lParam != expected.lParam) {
                ADD_FAILURE() << event << "; the player got " << Hex(got.message) << " "
                              << Hex(static_cast<unsigned>(got.wParam)) << " " << Hex(static_cast<unsigned>(got.lParam))
                              << " as its message " << nextPost - 1 << " (or an earlier event posted too much)";
                return false;
            }
        }
    }

    bool complete = true;
    if (nextPassed != passedUser.size()) {
        ADD_FAILURE() << where << ": " << passedUser.size() - nextPassed << " more events were passed on than expected";
        complete = false;
    }
    if (nextInjected != passedInjected.size() || taggedInjected.size() != passedInjected.size()) {
        ADD_FAILURE() << where << ": " << passedInjected.size() << " injected keys reached the next hook, "
                      << taggedInjected.size() << " went through the volume hook, " << nextInjected << " expected";
        complete = false;
    }
    if (nextPost != player.count) {
        ADD_FAILURE() << where << ": the player got " << player.count << " messages, " << nextPost << " expected";
        complete = false;
    }
    return complete;
}

class VolumeHookSoakTest : public ProgramTest {
protected:
    void TearDown() override
    {
        RemoveHooks();
        DestroyStandInPlayer(&player_);
        // Leave the system with no key recorded as held by the random run.
        std::vector<SentEvent> release;
        for (WORD vk : { 0x10, 0x11, 0xA0, 0xA1, 0xA2, 0xA3, VK_MENU, VK_LMENU }) {
            release.push_back({ vk, true, 1 });
        }
        SendPumping(release);
        ProgramTest::TearDown();
    }

    bool InstallHooks()
    {
        ObserverHook = SetWindowsHookExA(WH_KEYBOARD_LL, ObserverProc, GetModuleHandleA(NULL), 0);
        if (ObserverHook == NULL || InstallVolumeHook(GetModuleHandleA(NULL)) == NULL) {
            return false;
        }
        TaggerHook = SetWindowsHookExA(WH_KEYBOARD_LL, TaggerProc, GetModuleHandleA(NULL), 0);
        return TaggerHook != NULL;
    }

    void RemoveHooks()
    {
        if (TaggerHook != NULL) {
            UnhookWindowsHookEx(TaggerHook);
            TaggerHook = NULL;
        }
        RemoveVolumeHook();
        if (ObserverHook != NULL) {
            UnhookWindowsHookEx(ObserverHook);
            ObserverHook = NULL;
        }
    }

    StandInPlayer player_ = {};
};

} // namespace

TEST_F(VolumeHookSoakTest, RandomKeysWithRandomBindingsAndPlayersFollowTheRules)
{
    const unsigned seed = ChooseSeed();
    std::printf("volume hook soak: seed %u (set MIRELLE_SOAK_SEED=%u to repeat this run), %d segments of %d events\n",
                seed, seed, SegmentCount, EventsPerSegment);
    std::fflush(stdout);
    RecordProperty("seed", static_cast<int>(seed));
    Random random = { seed };

    ASSERT_TRUE(InstallHooks());
    Model model = {};
    model.held = 0;
    int events = 0;
    Tally tally = {};

    for (int segment = 0; segment < SegmentCount; ++segment) {
        // Bindings and the player change only here, between segments.
        RandomBindings(random, model.slot);
        model.player = static_cast<Player>(random.Below(3));
        for (int i = 0; i < 3; ++i) {
            KeyBindings.binding[i].vk = model.slot[i].vk;
            KeyBindings.binding[i].modifiers = model.slot[i].mask;
        }
        if (model.player != Player::None) {
            ASSERT_TRUE(CreateStandInPlayer(&player_, model.player == Player::Minimized));
            ASSERT_EQ(model.player == Player::Minimized, IsIconic(player_.window) != FALSE);
        }
        ASSERT_EQ(model.held, HeldModifiers) << "seed " << seed << ", segment " << segment;

        std::vector<SentEvent> sent;
        for (int i = 0; i < EventsPerSegment; ++i) {
            SentEvent event;
            event.vk = RandomEventKey(random, model.slot);
            // More downs than ups, so held keys and auto-repeat both occur.
            event.up = random.Chance(45);
            event.tag = (static_cast<ULONG_PTR>(segment + 1) << 16) | static_cast<ULONG_PTR>(i + 1);
            sent.push_back(event);
        }

        TaggerLog.clear();
        ObserverLog.clear();
        player_.count = 0;
        ASSERT_EQ(0, SendPumping(sent)) << "SendInput refused events";

        bool same = CompareSegment(seed, segment, model, sent, player_, &tally);
        EXPECT_EQ(model.held, HeldModifiers) << "seed " << seed << ", after segment " << segment;
        DestroyStandInPlayer(&player_);
        events += static_cast<int>(sent.size());
        if (!same) {
            return;
        }
    }

    std::printf("volume hook soak: %d events, %d swallowed, %d volume keys injected, %d messages posted, "
                "%d passed on although bound (no player), %d modifiers forgotten at a bound key\n",
                events, tally.swallowed, tally.injected, tally.posted, tally.passedOnAlthoughBound, tally.forgotten);
    EXPECT_GE(events, 5000);
    // The run exercised every kind of outcome.
    EXPECT_GT(tally.swallowed, 0);
    EXPECT_GT(tally.injected, 0);
    EXPECT_GT(tally.posted, 0);
}
