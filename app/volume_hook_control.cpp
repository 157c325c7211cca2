#include "volume_hook_control.h"

#include "app_state.h"
#include "error_box.h"
#include "resource.h"
#include "volume_hook.h"

namespace {

enum class HookLife { NotStarted, Running, SuspendedForSetKeys, Stopped };

HookLife Life = HookLife::NotStarted;

// A refused install was shown to the user and none has gone in since.
bool FailureShown = false;

// Installs a hook.  Without one the keys no longer work, so the user hears of
// it, rather than keep a status line that promises them; but once per run of
// failures, whichever path met them (Set Keys, resume and unlock, the
// watchdog), until a hook goes in again.
bool InstallOrReport(HWND owner)
{
    if (InstallVolumeHook(ModuleInstance) != NULL) {
        FailureShown = false;
        return true;
    }
    DWORD code = GetLastError();
    if (!FailureShown) {
        FailureShown = true;
        ReportError(owner, code, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    }
    return false;
}

} // namespace

bool VolumeHookWanted()
{
    return Life == HookLife::Running;
}

BOOL StartVolumeHook()
{
    if (InstallVolumeHook(ModuleInstance) == NULL) {
        return FALSE;
    }
    FailureShown = false;
    Life = HookLife::Running;
    return TRUE;
}

void SuspendVolumeHook()
{
    if (Life != HookLife::Running) {
        return;
    }
    Life = HookLife::SuspendedForSetKeys;
    RemoveVolumeHook();
}

void ResumeVolumeHook(HWND owner)
{
    if (Life != HookLife::SuspendedForSetKeys) {
        return;
    }
    Life = HookLife::Running;
    InstallOrReport(owner);
}

BOOL ReplaceVolumeHook(HWND owner)
{
    if (Life != HookLife::Running || !InstallOrReport(owner)) {
        return FALSE;
    }
    ReadHeldModifiersFromKeyboard();
    return TRUE;
}

void StopVolumeHook()
{
    Life = HookLife::Stopped;
    RemoveVolumeHook();
}
