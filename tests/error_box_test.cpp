// The error box as the user sees it: a second thread finds the real message
// box, reads its caption, text and owner, and closes it as the user would.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app_state.h"
#include "error_box.h"
#include "resource.h"

namespace {

// No string in the table has this id.
const UINT MissingStringId = 9999;

// Guards against a hang when something goes wrong; never a measure of speed.
const int PatienceSteps = 4000;
const DWORD StepMilliseconds = 5;

struct SeenBox {
    std::string caption;
    std::string text;
    HWND owner;
    bool bystanderEnabled;  // BoxWatch::bystander takes input while the box is up
    size_t openBoxes;       // boxes of this process open when it was found
    size_t openAfterNested; // the same, after the nested report had run
};

// The state shared with the watching thread.  `seen` is written only by that
// thread and read only after it has ended.
struct BoxWatch {
    volatile LONG stop;
    HWND bystander;         // another window of the thread, looked at while a box is up
    HWND nestedTarget;      // when set, gets WM_APP while the first box is open
    volatile LONG nestedDone;
    std::vector<SeenBox> seen;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM lParam)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16];
    if (process == GetCurrentProcessId() && GetClassNameA(window, className, sizeof className) > 0 &&
        lstrcmpA(className, "#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(window);
    }
    return TRUE;
}

std::vector<HWND> OpenBoxes()
{
    std::vector<HWND> boxes;
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

std::string TextOf(HWND window)
{
    char text[1024] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

SeenBox Read(HWND box, size_t openBoxes)
{
    SeenBox seen;
    seen.caption = TextOf(box);
    seen.text = TextOf(GetDlgItem(box, 0xFFFF));
    seen.owner = GetWindow(box, GW_OWNER);
    seen.openBoxes = openBoxes;
    seen.openAfterNested = openBoxes;
    return seen;
}

// Presses OK on every open box, and waits until each one is gone.  A box
// opened inside another's modal loop ends first, whichever is pressed first.
void CloseAll(const std::vector<HWND>& boxes)
{
    for (HWND box : boxes) {
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    for (HWND box : boxes) {
        for (int step = 0; step < PatienceSteps && IsWindow(box); ++step) {
            Sleep(StepMilliseconds);
        }
    }
}

DWORD WINAPI WatchBoxes(LPVOID parameter)
{
    BoxWatch* watch = static_cast<BoxWatch*>(parameter);
    while (!watch->stop) {
        std::vector<HWND> boxes = OpenBoxes();
        if (boxes.empty() || GetDlgItem(boxes[0], 0xFFFF) == NULL) {
            Sleep(StepMilliseconds);
            continue;
        }
        SeenBox seen = Read(boxes[0], boxes.size());
        seen.bystanderEnabled = IsWindowEnabled(watch->bystander) != FALSE;
        if (watch->nestedTarget != NULL && watch->seen.empty()) {
            // Handled inside the open box's modal loop.
            PostMessageA(watch->nestedTarget, WM_APP, 0, 0);
            for (int step = 0; step < PatienceSteps && !watch->nestedDone && OpenBoxes().size() < 2; ++step) {
                Sleep(StepMilliseconds);
            }
            boxes = OpenBoxes();
            seen.openAfterNested = boxes.size();
        }
        watch->seen.push_back(seen);
        CloseAll(boxes);
    }
    return 0;
}

void StartWatch(BoxWatch* watch, HANDLE* thread, HWND nestedTarget, HWND bystander = NULL)
{
    watch->stop = 0;
    watch->bystander = bystander;
    watch->nestedTarget = nestedTarget;
    watch->nestedDone = 0;
    *thread = CreateThread(NULL, 0, WatchBoxes, watch, 0, NULL);
    EXPECT_NE(static_cast<HANDLE>(NULL), *thread);
}

void EndWatch(BoxWatch* watch, HANDLE thread)
{
    InterlockedExchange(&watch->stop, 1);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

// Runs one report on this thread while a second thread answers the boxes;
// gives back every box that appeared.
std::vector<SeenBox> Report(HWND owner, DWORD code, UINT contextId, UINT captionId, HWND bystander = NULL)
{
    BoxWatch watch;
    HANDLE thread;
    StartWatch(&watch, &thread, NULL, bystander);
    ReportError(owner, code, contextId, captionId);
    EndWatch(&watch, thread);
    return watch.seen;
}

std::vector<SeenBox> ReportIfAny(DWORD code)
{
    BoxWatch watch;
    HANDLE thread;
    StartWatch(&watch, &thread, NULL);
    ReportErrorIfAny(NULL, code, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    EndWatch(&watch, thread);
    return watch.seen;
}

// The system's own text for a code, as long as it is; empty when it has none.
std::string SystemText(DWORD code)
{
    char text[4096];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                                  LANG_USER_DEFAULT, text, sizeof text, NULL);
    return std::string(text, length);
}

// A window on this thread whose WM_APP reports another error, as a failing
// handler dispatched inside the box's modal loop would.
volatile LONG* NestedDoneFlag = NULL;

LRESULT CALLBACK NestedReporterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP) {
        ReportError(window, ERROR_ACCESS_DENIED, IDS_SAVE_TRAY_ERROR, IDS_ERROR_CAPTION);
        InterlockedExchange(NestedDoneFlag, 1);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreatePlainWindow(const char* className, WNDPROC procedure)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

} // namespace

TEST(ErrorBox, ShowsTheContextSentenceWithTheCodeAndTheSystemText)
{
    ASSERT_FALSE(SystemText(ERROR_FILE_NOT_FOUND).empty());
    std::vector<SeenBox> seen = Report(NULL, ERROR_FILE_NOT_FOUND, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Error", seen[0].caption);
    EXPECT_EQ("Trouble setting hook, err=2.\r\n" + SystemText(ERROR_FILE_NOT_FOUND), seen[0].text);
    EXPECT_EQ(NULL, seen[0].owner);

    seen = Report(NULL, ERROR_ACCESS_DENIED, IDS_SAVE_KEYS_ERROR, IDS_SET_KEYS_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Set Keys", seen[0].caption);
    EXPECT_EQ("Trouble saving new keys in Registry, err=5.\r\n" + SystemText(ERROR_ACCESS_DENIED), seen[0].text);

    seen = Report(NULL, ERROR_CHILD_MUST_BE_VOLATILE, IDS_SAVE_TRAY_ERROR, IDS_ERROR_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Trouble saving minimize setting in Registry, err=1021.\r\n" +
                  SystemText(ERROR_CHILD_MUST_BE_VOLATILE),
              seen[0].text);

    // A system text with an insert of its own is shown as the system has it.
    ASSERT_NE(std::string::npos, SystemText(ERROR_BAD_EXE_FORMAT).find("%1"));
    seen = Report(NULL, ERROR_BAD_EXE_FORMAT, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Trouble setting hook, err=193.\r\n" + SystemText(ERROR_BAD_EXE_FORMAT), seen[0].text);
}

TEST(ErrorBox, ShowsACodeWithTheTopBitSetAsANegativeNumber)
{
    std::vector<SeenBox> seen = Report(NULL, 0x80070005u, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Trouble setting hook, err=-2147024891.\r\n" + SystemText(0x80070005u), seen[0].text);

    seen = Report(NULL, 0xFFFFFFFFu, MissingStringId, IDS_ERROR_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("(No context message), error=-1 " + SystemText(0xFFFFFFFFu), seen[0].text);
}

TEST(ErrorBox, FallsBackToTheBuiltInTextsWhenAStringIsMissing)
{
    // The built-in format keeps the system text on the same line.
    std::vector<SeenBox> seen = Report(NULL, ERROR_FILE_NOT_FOUND, MissingStringId, MissingStringId);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Error", seen[0].caption);
    EXPECT_EQ("(No context message), error=2 " + SystemText(ERROR_FILE_NOT_FOUND), seen[0].text);

    // A missing caption alone falls back alone.
    seen = Report(NULL, ERROR_FILE_NOT_FOUND, IDS_SAVE_KEYS_ERROR, MissingStringId);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Error", seen[0].caption);
    EXPECT_EQ("Trouble saving new keys in Registry, err=2.\r\n" + SystemText(ERROR_FILE_NOT_FOUND), seen[0].text);

    // Before start-up has set the instance handle, nothing can be loaded.
    HINSTANCE instance = ModuleInstance;
    ModuleInstance = NULL;
    seen = Report(NULL, ERROR_ACCESS_DENIED, IDS_SAVE_KEYS_ERROR, IDS_SET_KEYS_CAPTION);
    ModuleInstance = instance;
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Error", seen[0].caption);
    EXPECT_EQ("(No context message), error=5 " + SystemText(ERROR_ACCESS_DENIED), seen[0].text);
}

TEST(ErrorBox, ShowsAnEmptySystemTextWhenTheSystemHasNoneThatFits)
{
    // Code 0 is still reported when asked for directly.
    std::vector<SeenBox> seen = Report(NULL, 0, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Trouble setting hook, err=0.\r\n" + SystemText(0), seen[0].text);

    // An application-defined code has no system text.
    const DWORD customCode = 0x20001234u;
    ASSERT_TRUE(SystemText(customCode).empty());
    seen = Report(NULL, customCode, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Trouble setting hook, err=536875572.\r\n", seen[0].text);

}

TEST(ErrorBox, LeavesOutASystemTextTooLongForItsBuffer)
{
    // Shown neither cut nor as whatever the buffer happened to hold.  Windows
    // has such texts; Wine's are all shorter.
    DWORD longCode = 0;
    for (DWORD code = 1; code < 20000 && longCode == 0; ++code) {
        if (SystemText(code).size() >= 100) {
            longCode = code;
        }
    }
    if (longCode == 0) {
        GTEST_SKIP() << "this system has no text of 100 characters or more";
    }
    std::vector<SeenBox> seen = Report(NULL, longCode, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Trouble setting hook, err=" + std::to_string(longCode) + ".\r\n", seen[0].text);
}

TEST(ErrorBox, ReportErrorIfAnyShowsNothingForCodeZero)
{
    EXPECT_TRUE(ReportIfAny(0).empty());

    std::vector<SeenBox> seen = ReportIfAny(ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Trouble setting hook, err=2.\r\n" + SystemText(ERROR_FILE_NOT_FOUND), seen[0].text);
}

TEST(ErrorBox, ASecondReportWhileTheFirstBoxIsOpenShowsNothing)
{
    HWND reporter = CreatePlainWindow("MirelleNestedReporter", NestedReporterProc);
    ASSERT_NE(static_cast<HWND>(NULL), reporter);

    BoxWatch watch;
    HANDLE thread;
    NestedDoneFlag = &watch.nestedDone;
    StartWatch(&watch, &thread, reporter);
    ReportError(NULL, ERROR_FILE_NOT_FOUND, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    EndWatch(&watch, thread);

    EXPECT_EQ(1, watch.nestedDone) << "the nested report did not return while the box was open";
    ASSERT_EQ(1u, watch.seen.size());
    EXPECT_EQ(1u, watch.seen[0].openBoxes);
    EXPECT_EQ(1u, watch.seen[0].openAfterNested);
    EXPECT_EQ("Trouble setting hook, err=2.\r\n" + SystemText(ERROR_FILE_NOT_FOUND), watch.seen[0].text);

    // Once the first box is closed, the next report shows again; the dropped
    // one does not come back.
    std::vector<SeenBox> seen = Report(NULL, ERROR_ACCESS_DENIED, IDS_SAVE_KEYS_ERROR, IDS_SET_KEYS_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Set Keys", seen[0].caption);
    seen = Report(NULL, ERROR_FILE_NOT_FOUND, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    ASSERT_EQ(1u, seen.size());

    DestroyWindow(reporter);
    NestedDoneFlag = NULL;
}

TEST(ErrorBox, IsOwnedByALiveOwnerOnly)
{
    HWND owner = CreatePlainWindow("MirelleErrorOwner", DefWindowProcA);
    ASSERT_NE(static_cast<HWND>(NULL), owner);
    std::vector<SeenBox> seen = Report(owner, ERROR_FILE_NOT_FOUND, IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(owner, seen[0].owner);

    DestroyWindow(owner);
    ASSERT_FALSE(IsWindow(owner));
    // Without an owner the box still holds the program's other windows.
    HWND bystander = CreatePlainWindow("MirelleErrorBystander", DefWindowProcA);
    seen = Report(owner, ERROR_FILE_NOT_FOUND, IDS_HOOK_ERROR, IDS_ERROR_CAPTION, bystander);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(NULL, seen[0].owner);
    EXPECT_EQ("Trouble setting hook, err=2.\r\n" + SystemText(ERROR_FILE_NOT_FOUND), seen[0].text);
    EXPECT_FALSE(seen[0].bystanderEnabled) << "the box is task-modal";
    EXPECT_TRUE(IsWindowEnabled(bystander));
    DestroyWindow(bystander);
}
