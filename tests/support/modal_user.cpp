#include "tests/support/modal_user.h"

#include <cstring>
#include <thread>

namespace {

struct ThreadSearch {
    const char* title;
    HWND except;
    HWND found;
};

BOOL CALLBACK FindThreadDialogProc(HWND window, LPARAM parameter)
{
    ThreadSearch* search = reinterpret_cast<ThreadSearch*>(parameter);
    if (window == search->except) {
        return TRUE;
    }
    char windowClass[32];
    GetClassNameA(window, windowClass, sizeof windowClass);
    // Not GetWindowTextA: for a window of another thread it sends WM_GETTEXT,
    // which would wait for a dialog thread that is itself waiting for us.
    WCHAR wide[256];
    int length = InternalGetWindowText(window, wide, 256);
    char title[256];
    for (int i = 0; i <= length; ++i) {
        title[i] = wide[i] < 0x80 ? static_cast<char>(wide[i]) : '?';
    }
    // Dialogs and message boxes are shown only once their WM_INITDIALOG has
    // run; before that their texts are not there yet.
    if (std::strcmp(windowClass, "#32770") == 0 && IsWindowVisible(window)
        && (search->title == NULL || std::strcmp(title, search->title) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND WaitForThreadDialog(DWORD threadId, const char* title, DWORD milliseconds, HWND except)
{
    DWORD start = GetTickCount();
    for (;;) {
        ThreadSearch search = { title, except, NULL };
        EnumThreadWindows(threadId, FindThreadDialogProc, reinterpret_cast<LPARAM>(&search));
        if (search.found != NULL || GetTickCount() - start >= milliseconds) {
            return search.found;
        }
        Sleep(10);
    }
}

bool ThreadShowsDialog(DWORD threadId, const char* title, DWORD milliseconds, HWND except)
{
    return WaitForThreadDialog(threadId, title, milliseconds, except) != NULL;
}

HWND FocusOf(DWORD threadId)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(threadId, &info)) {
        return NULL;
    }
    return info.hwndFocus;
}

void AnswerBox(HWND box, int buttonId)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
}

std::string TextOf(HWND window)
{
    char text[1024];
    LRESULT length = SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string();
}

ModalRun RunModalWithUser(WORD templateId, DLGPROC proc, HWND owner, const char* title, int closeId,
                          const std::function<void(HWND dialog, DWORD dialogThread)>& user)
{
    ModalRun run = { -1, GetCurrentThreadId() };
    std::thread worker([&] {
        HWND dialog = WaitForThreadDialog(run.dialogThread, title, 30000);
        if (dialog != NULL) {
            user(dialog, run.dialogThread);
        }
        // Whatever happened, the modal loop must end.
        DWORD start = GetTickCount();
        while (IsWindow(dialog) && GetTickCount() - start < 10000) {
            HWND box = WaitForThreadDialog(run.dialogThread, NULL, 0, dialog);
            if (box != NULL && GetWindow(box, GW_OWNER) != NULL) {
                PostMessageA(box, WM_CLOSE, 0, 0);
                AnswerBox(box, IDNO);
            }
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(closeId, BN_CLICKED), 0);
            Sleep(50);
        }
    });
    run.result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(templateId), owner, proc, 0);
    worker.join();
    return run;
}
