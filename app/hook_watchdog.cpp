#include "hook_watchdog.h"

#include "hook_state.h"
#include "main_window_timers.h"
#include "volume_hook_control.h"

HookWatchdogState HookWatchdog = {};

namespace {

const USHORT GenericDesktopPage = 1;
const USHORT KeyboardUsage = 6;

// Whether the hook has run since the raw key of that moment, give or take
// the slack.  Both ages are taken back from now, so the comparison holds
// across the wrap of the tick.
bool HookHasSeen(DWORD rawMoment)
{
    DWORD now = GetTickCount();
    ULONGLONG hookAge = now - VolumeHookLastCallTick;
    ULONGLONG rawAge = now - rawMoment;
    return hookAge <= rawAge + HookWatchdogClockSlack;
}

// When a raw key happened, as far as it can be trusted: its time stamp, but
// never later than now, when it is handled.  Any program may stamp the keys
// it injects as it likes; this way a made-up stamp can only make its own
// key look older, so that the watchdog passes over that one key, and can
// neither blind it to later keys nor make it replace a live hook.
DWORD RawKeyMoment()
{
    DWORD now = GetTickCount();
    DWORD stamp = static_cast<DWORD>(GetMessageTime());
    return static_cast<LONG>(now - stamp) >= 0 ? stamp : now;
}

BOOL RegisterKeyboard(HWND window, DWORD flags)
{
    RAWINPUTDEVICE device = { GenericDesktopPage, KeyboardUsage, flags, window };
    return RegisterRawInputDevices(&device, 1, sizeof device);
}

bool IsKeyboardInput(HRAWINPUT input)
{
    RAWINPUTHEADER header;
    UINT size = sizeof header;
    return GetRawInputData(input, RID_HEADER, &header, &size, sizeof header) == sizeof header
        && header.dwType == RIM_TYPEKEYBOARD;
}

bool MayRestoreNow(DWORD now)
{
    return !HookWatchdog.hasRestored || now - HookWatchdog.lastRestoreTick >= HookWatchdogMinimumInterval;
}

// The replacement reports a refusal itself, once for a run of failures.
void RestoreHook(HWND window)
{
    HookWatchdog.hasRestored = true;
    HookWatchdog.lastRestoreTick = GetTickCount();
    ReplaceVolumeHook(window);
}

} // namespace

BOOL StartHookWatchdog(HWND window)
{
    HookWatchdog.listening = RegisterKeyboard(window, RIDEV_INPUTSINK) != FALSE;
    return HookWatchdog.listening;
}

void StopHookWatchdog(HWND window)
{
    KillTimer(window, HookWatchdogTimer);
    HookWatchdog.checkPending = false;
    if (HookWatchdog.listening) {
        RegisterKeyboard(NULL, RIDEV_REMOVE);
        HookWatchdog.listening = false;
    }
}

void OnRawInput(HWND window, HRAWINPUT input)
{
    if (!IsKeyboardInput(input)) {
        return;
    }
    DWORD moment = RawKeyMoment();
    HookWatchdog.latestRawKeyTime = moment;
    // While Set Keys is open there is no hook to watch, and a key from before
    // the hook went in (typed during start-up or while Set Keys was open, and
    // handled only now) says nothing about it.  The system calls the hook
    // before it hands the key to raw input, so a live hook has normally seen
    // it already; otherwise it gets a moment.
    if (!VolumeHookWanted() || static_cast<LONG>(moment - VolumeHookInstallTick) < 0
        || HookWatchdog.checkPending || HookHasSeen(moment)) {
        return;
    }
    HookWatchdog.checkPending = SetTimer(window, HookWatchdogTimer, HookWatchdogDelay, NULL) != 0;
}

void OnHookWatchdogTimer(HWND window)
{
    KillTimer(window, HookWatchdogTimer);
    HookWatchdog.checkPending = false;
    if (!VolumeHookWanted() || HookHasSeen(HookWatchdog.latestRawKeyTime)
        || !MayRestoreNow(GetTickCount())) {
        return;
    }
    RestoreHook(window);
}
