#include "error_box.h"

#include "app_state.h"

namespace {

// -1 while no ReportError is under way.  The message box runs a modal loop,
// and a message dispatched there may fail and report again: only the first
// report is shown.  Changed only atomically, so a second thread cannot show a
// second box either.
volatile LONG ReportNesting = -1;

const int SystemTextCapacity = 100;
const int ContextCapacity = 100;
const int CaptionCapacity = 100;
const int MessageCapacity = 256;

const char BuiltInContext[] = "(No context message), error=%1!d! %2";
const char BuiltInCaption[] = "Error";

// The system's text for the code, or an empty text when it has none or the
// text does not fit.
void LoadSystemText(DWORD code, char* text)
{
    ZeroMemory(text, SystemTextCapacity);
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                                  LANG_USER_DEFAULT, text, SystemTextCapacity, NULL);
    // On failure the buffer's contents are not defined.
    if (length == 0 || length >= static_cast<DWORD>(SystemTextCapacity)) {
        text[0] = '\0';
    }
    text[SystemTextCapacity - 1] = '\0';
}

// A string-table entry, or the fallback when the entry is missing or the
// instance handle is not set yet.
const char* LoadTextOr(UINT id, char* buffer, int capacity, const char* fallback)
{
    if (ModuleInstance != NULL && LoadStringA(ModuleInstance, id, buffer, capacity) > 0) {
        return buffer;
    }
    return fallback;
}

void ShowErrorBox(HWND owner, DWORD code, UINT contextId, UINT captionId)
{
    if (!IsWindow(owner)) {
        owner = NULL;
    }

    char systemText[SystemTextCapacity];
    LoadSystemText(code, systemText);

    char contextBuffer[ContextCapacity];
    const char* context = LoadTextOr(contextId, contextBuffer, ContextCapacity, BuiltInContext);

    // The inserts are pointer-sized.  The code is sign-extended so that %1!d!
    // prints it as a 32-bit signed number on every architecture.
    DWORD_PTR inserts[2] = {
        static_cast<DWORD_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(code))),
        reinterpret_cast<DWORD_PTR>(systemText),
    };
    char message[MessageCapacity];
    ZeroMemory(message, sizeof message);
    if (FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, context, 0, LANG_USER_DEFAULT,
                       message, MessageCapacity, reinterpret_cast<va_list*>(inserts)) == 0) {
        message[0] = '\0';
    }
    message[MessageCapacity - 1] = '\0';

    char captionBuffer[CaptionCapacity];
    const char* caption = LoadTextOr(captionId, captionBuffer, CaptionCapacity, BuiltInCaption);

    MessageBoxA(owner, message, caption, MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

} // namespace

void ReportError(HWND owner, DWORD code, UINT contextId, UINT captionId)
{
    if (InterlockedIncrement(&ReportNesting) == 0) {
        ShowErrorBox(owner, code, contextId, captionId);
    }
    InterlockedDecrement(&ReportNesting);
}

void ReportErrorIfAny(HWND owner, DWORD code, UINT contextId, UINT captionId)
{
    if (code != 0) {
        ReportError(owner, code, contextId, captionId);
    }
}
