#include "about_dialog.h"

#include <shellapi.h>

#include "app_state.h"
#include "centering.h"
#include "hyperlink.h"
#include "resource.h"

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

void OpenContactLink(HWND dialog)
{
    char url[UrlCapacity];
    if (LoadStringA(ModuleInstance, IDS_CONTACT_URL, url, UrlCapacity) <= 0) {
        return;
    }
    // Failure (no mail program, say) is not reported; the dialog stays as it is.
    ShellExecuteA(dialog, "open", url, "", "", SW_SHOWNORMAL);
}

void OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDOK:
        EndDialog(dialog, 1);
        break;
    case IDC_ABOUT_CONTACT:
        if (code == STN_CLICKED) {
            OpenContactLink(dialog);
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
