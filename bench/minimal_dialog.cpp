// The reference for Mirelle's start-up: a modeless dialog from a resource
// template, created hidden, shown with the start's show command, and run by
// a plain dialog message loop until Exit.  Same compiler flags, static
// linking and manifest as Mirelle, and like Mirelle it loads the common
// controls that the manifest asks for before its first dialog.
//
// Its twins serve the start-up benchmark's account of where Mirelle's
// start-up goes: built with MINIMAL_DIALOG_IMPORTS_SHELL32 it imports
// SHELL32 as Mirelle does; built with MINIMAL_DIALOG_MAIN_WINDOW and
// Mirelle's resources it shows Mirelle's main window template instead; with
// MINIMAL_DIALOG_STEPS too, it runs Mirelle's start-up steps that its command
// line names (startup_steps.exe).
#include <windows.h>
#include <commctrl.h>
#ifdef MINIMAL_DIALOG_IMPORTS_SHELL32
#include <shellapi.h>
#endif

#ifdef MINIMAL_DIALOG_STEPS
#include "bench/startup_steps.h"
#endif
#ifdef MINIMAL_DIALOG_MAIN_WINDOW
#include "resource.h"
#define IDD_DIALOG IDD_MAIN
#else
#include "minimal_dialog_ids.h"
#define IDD_DIALOG IDD_MINIMAL
#endif

namespace {

HWND DialogWindow = NULL;

#ifdef MINIMAL_DIALOG_IMPORTS_SHELL32
// Never set: the call it guards is there only for the import.
volatile bool NeverTrue = false;
#endif

INT_PTR CALLBACK MinimalDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (message) {
    case WM_INITDIALOG:
#ifdef MINIMAL_DIALOG_STEPS
        StepsInInitDialog(window);
#endif
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(window);
        }
        SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_DESTROY:
        DialogWindow = NULL;
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, [[maybe_unused]] LPSTR commandLine, int showCommand)
{
#ifdef MINIMAL_DIALOG_STEPS
    StepsBeforeDialog(instance, commandLine);
#endif
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&controls);
#ifdef MINIMAL_DIALOG_IMPORTS_SHELL32
    if (NeverTrue) {
        NOTIFYICONDATAA data = {};
        Shell_NotifyIconA(NIM_DELETE, &data);
    }
#endif
    DialogWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_DIALOG), NULL, MinimalDialogProc, 0);
    if (DialogWindow == NULL) {
        return 1;
    }
#ifdef MINIMAL_DIALOG_STEPS
    StepsBeforeShow(DialogWindow, &showCommand);
#endif
    ShowWindow(DialogWindow, showCommand);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (DialogWindow != NULL && IsDialogMessageA(DialogWindow, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
