#include "about_dialog.h"

#include <objbase.h>
#include <shellapi.h>

#include "app_state.h"
#include "centering.h"
#include "hyperlink.h"
#include "resource.h"
#include "system_library.h"

namespace {

const int LabelFormatCapacity = 128;
const int LabelCapacity = 256;
const int UrlCapacity = 256;

void ShowVersion(HWND dialog)
{
    // The label's template text is the format: "Mirelle v.%d.%d.%d.%d".
    char format[LabelFormatCapacity];
    GetDlgItemTextA(dialog, IDC_ABOUT_VERSION, format, LabelFormatCapacity);
    char label[LabelCapacity];
    wsprintfA(label, format, HIWORD(VersionRecord.dwProductVersionMS), LOWORD(VersionRecord.dwProductVersionMS),
              HIWORD(VersionRecord.dwProductVersionLS), LOWORD(VersionRecord.dwProductVersionLS));
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, label);
}

BOOL OnInitDialog(HWND dialog)
{
    CenterOverParent(dialog);
    ShowVersion(dialog);
    MakeHyperlinkItem(dialog, IDC_ABOUT_CONTACT);
    // TRUE: the focus goes to OK, the only tab stop.
    return TRUE;
}

// What the shell call needs, copied for its thread, which frees it.
struct MailLinkCall {
    char url[UrlCapacity];
};

typedef HRESULT(WINAPI* CoInitializeExFunction)(LPVOID, DWORD);
typedef void(WINAPI* CoUninitializeFunction)();

// The shell may take seconds over a mail link (a mail program started
// through COM or DDE, a slow handler, a network lookup), so the call runs on
// a thread of its own: the dialog's thread also runs the keyboard hook, which
// must never wait.  The shell asks its callers for COM, apartment-threaded,
// without OLE1's DDE.  The program may end while the call still runs.
DWORD WINAPI OpenMailLinkThread(LPVOID parameter)
{
    MailLinkCall* call = static_cast<MailLinkCall*>(parameter);
    // ole32 stays loaded: the shell may keep COM objects of its own.
    HMODULE ole32 = LoadSystemLibrary("ole32.dll");
    CoInitializeExFunction initialize = FindFunction<CoInitializeExFunction>(ole32, "CoInitializeEx");
    CoUninitializeFunction uninitialize = FindFunction<CoUninitializeFunction>(ole32, "CoUninitialize");
    HRESULT com = initialize != NULL ? initialize(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) : E_FAIL;
    // No owner: a window of this thread owned by the dialog would tie the two
    // threads' input together, and the dialog may be gone before the call
    // returns.  The shell may hand the link on asynchronously (by DDE, or to
    // a default-app handler), and this thread pumps no messages and ends
    // right after the call: so the shell is told to finish the hand-over
    // first.  Its own choice of program still shows when no mail program is
    // set.  A failure is not reported.
    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOASYNC;
    execute.lpVerb = "open";
    execute.lpFile = call->url;
    execute.lpParameters = "";
    execute.lpDirectory = "";
    execute.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&execute);
    if (SUCCEEDED(com) && uninitialize != NULL) {
        uninitialize();
    }
    HeapFree(GetProcessHeap(), 0, call);
    return 0;
}

void OpenContactLink()
{
    MailLinkCall* call = static_cast<MailLinkCall*>(HeapAlloc(GetProcessHeap(), 0, sizeof(MailLinkCall)));
    if (call == NULL) {
        return;
    }
    HANDLE thread = NULL;
    if (LoadStringA(ModuleInstance, IDS_CONTACT_URL, call->url, UrlCapacity) > 0) {
        thread = CreateThread(NULL, 0, OpenMailLinkThread, call, 0, NULL);
    }
    if (thread == NULL) {
        HeapFree(GetProcessHeap(), 0, call);
        return;
    }
    // The click returns at once; the dialog stays open.
    CloseHandle(thread);
}

void OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDOK:
        EndDialog(dialog, 1);
        break;
    case IDC_ABOUT_CONTACT:
        if (code == STN_CLICKED) {
            OpenContactLink();
        }
        break;
    default:
        // IDCANCEL (Escape, the close box) deliberately does nothing.
        break;
    }
}

} // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

void RunAboutDialog(HWND owner)
{
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc, 0);
}
