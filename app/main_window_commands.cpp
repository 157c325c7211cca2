#include "main_window_commands.h"

#include "about_dialog.h"
#include "main_window.h"
#include "set_keys_dialog.h"
#include "volume_hook_control.h"

namespace {

// The dialog is modal to the main window, but a command can still reach the
// window while it is open (posted, or sent by another program); a second
// dialog would put the hook back under the first one when it closed.
bool SetKeysOpen = false;

} // namespace

void RunSetKeysCommand(HWND mainWindow)
{
    if (SetKeysOpen) {
        return;
    }
    SetKeysOpen = true;
    SuspendVolumeHook();
    RunSetKeysDialog(mainWindow);
    ResumeVolumeHook(mainWindow);
    SetKeysOpen = false;
    UpdateStatusText(mainWindow);
}

void RunAboutCommand(HWND mainWindow)
{
    RunAboutDialog(mainWindow);
}
