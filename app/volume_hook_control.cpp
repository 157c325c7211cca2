#include "volume_hook_control.h"

#include "app_state.h"
#include "error_box.h"
#include "resource.h"
#include "volume_hook.h"

namespace {

bool Wanted = false;

} // namespace

bool VolumeHookWanted()
{
    return Wanted;
}

BOOL StartVolumeHook()
{
    Wanted = true;
    return InstallVolumeHook(ModuleInstance) != NULL;
}

void SuspendVolumeHook()
{
    Wanted = false;
    RemoveVolumeHook();
}

void ResumeVolumeHook(HWND owner)
{
    Wanted = true;
    // Without a hook the keys no longer work: say so, rather than leave a
    // status line that promises them.
    if (InstallVolumeHook(ModuleInstance) == NULL) {
        ReportError(owner, GetLastError(), IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    }
}

BOOL ReplaceVolumeHook()
{
    RemoveVolumeHook();
    if (InstallVolumeHook(ModuleInstance) == NULL) {
        return FALSE;
    }
    ReadHeldModifiersFromKeyboard();
    return TRUE;
}

void StopVolumeHook()
{
    Wanted = false;
    RemoveVolumeHook();
}
