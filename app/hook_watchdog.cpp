#include "hook_watchdog.h"

#include "error_box.h"
#include "hook_state.h"
#include "main_window_timers.h"
#include "resource.h"
#include "volume_hook_control.h"

HookWatchdogState HookWatchdog = {};

namespace {

const USHORT GenericDesktopPage = 1;
const USHORT KeyboardUsage = 6;

// Whether the hook has seen events up to the raw key event of that time.
bool HookHasSeen(DWORD rawTime)
{
    return static_cast<LONG>(rawTime - VolumeHookLastEventTime) <= HookWatchdogClockSlack;
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

// A hook that cannot be put back is reported once; the watchdog keeps
// trying, and only a success makes the next failure worth a box again.
void RestoreHook(HWND window)
{
    HookWatchdog.hasRestored = true;
    HookWatchdog.lastRestoreTick = GetTickCount();
    if (ReplaceVolumeHook()) {
        HookWatchdog.failureReported = false;
        return;
    }
    DWORD code = GetLastError();
    if (!HookWatchdog.failureReported) {
        HookWatchdog.failureReported = true;
        ReportError(window, code, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    }
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
    DWORD time = static_cast<DWORD>(GetMessageTime());
    HookWatchdog.latestRawKeyTime = time;
    // While Set Keys is open there is no hook to watch.  The system calls the
    // hook before it hands the key to raw input, so a live hook has normally
    // seen it already; otherwise it gets a moment.
    if (!VolumeHookWanted() || HookWatchdog.checkPending || HookHasSeen(time)) {
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
