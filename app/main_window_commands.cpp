#include "main_window_commands.h"

#include "about_dialog.h"
#include "main_window.h"
#include "set_keys_dialog.h"
#include "volume_hook_control.h"

void RunSetKeysCommand(HWND mainWindow)
{
    SuspendVolumeHook();
    RunSetKeysDialog(mainWindow);
    ResumeVolumeHook(mainWindow);
    UpdateStatusText(mainWindow);
}

void RunAboutCommand(HWND mainWindow)
{
    RunAboutDialog(mainWindow);
}
