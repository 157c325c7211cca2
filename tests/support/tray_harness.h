// Real top-level windows that record what reaches their own window
// procedure, and recorders on the system functions that TrayButton calls, so
// the TrayButton tests see what the module hands the shell and can make a
// system call fail.  Includes nothing of the program.
#ifndef MIRELLE_TESTS_TRAY_HARNESS_H
#define MIRELLE_TESTS_TRAY_HARNESS_H

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// The fixed name of the property, the callback message and the owner class.
extern const char TrayButtonName[];

struct LoggedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// What a test window saw of itself when its own procedure got WM_DESTROY.
struct DestroySnapshot {
    HWND window;
    HANDLE property;
    LONG_PTR procedure;
    HWND owner;
    int propertyCount;
};

// The system menu commands' states and the default item of a popup, as the
// test window's own procedure found them at WM_INITMENUPOPUP.
const int SystemMenuCommandCount = 6;
extern const UINT SystemMenuCommands[SystemMenuCommandCount]; // Restore, Move, Size, Minimize, Maximize, Close
struct MenuSnapshot {
    HWND window;
    HMENU menu;
    LPARAM lParam;
    UINT states[SystemMenuCommandCount]; // GetMenuState by command
    UINT defaultItem;
};

struct NotifyCall {
    DWORD message;
    DWORD cbSize;
    NOTIFYICONDATAA data; // the first cbSize bytes handed over, the rest zero
    BOOL result;
};

// A call of ChangeWindowMessageFilterEx, which the module finds with
// GetProcAddress.
struct MessageFilterCall {
    HWND window;
    UINT message;
    DWORD action;
    void* details;
};

// Everything recorded since the last ResetRecords().
extern std::vector<MessageFilterCall> MessageFilterCalls;
extern std::vector<LoggedMessage> MessageLog;
extern std::vector<DestroySnapshot> DestroySnapshots;
extern std::vector<MenuSnapshot> MenuSnapshots;
extern std::vector<NotifyCall> NotifyCalls;
extern std::vector<HWND> ForegroundCalls;
extern bool LogMessages; // off in loops that count heap blocks

// Faults to inject; each is cleared by ResetRecords().
extern int RefusedShellCalls;             // Shell_NotifyIconA calls refused next; negative: all of them
extern bool FailNextHeapAlloc;
extern std::string FailRegisteredMessage; // RegisterWindowMessageA of this name fails
extern bool FailOwnerWindowCreation;      // CreateWindowExA of the TrayButton class fails
extern bool HideMessageFilter;            // GetProcAddress finds no ChangeWindowMessageFilterEx, as before Windows 7
extern UINT MainDisplayDpi;               // what GetDpiForMonitor says of the main display; 0: the real answer
extern bool RefuseCopyFromResource;       // CopyImage refuses LR_COPYFROMRESOURCE, as Windows does for an icon not loaded shared
struct MetricOverride {
    int index;
    int value;
};
extern std::vector<MetricOverride> MetricOverrides;

// Wants to run once in an action of a test: called with the window whose
// procedure got WM_ENTERIDLE (sent while a menu it owns waits for input).
typedef void (*IdleAction)(HWND window, LPARAM context);
void SetMenuIdleAction(IdleAction action, LPARAM context);

// Patches this program's imports once; later calls do nothing.
void InstallTrayRecorders();
void ResetRecords();

// The real Shell_NotifyIconA, bypassing the recorder.
BOOL RealShellNotifyIcon(DWORD message, NOTIFYICONDATAA* data);

// The recording window procedure that test windows start with.
LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A top-level window of the recording class; shown only when style has
// WS_VISIBLE.
HWND CreateTestWindow(const char* title, int x, int y, int width, int height,
                      DWORD style = WS_OVERLAPPEDWINDOW, DWORD exStyle = 0);
// What a test window answers to WM_GETICON (both null by default).
void SetAnsweredIcons(HWND window, HICON small, HICON big);

int CountMessages(HWND window, UINT message);
const LoggedMessage* FindMessage(HWND window, UINT message);
std::vector<NotifyCall> CallsWith(DWORD message);

UINT TrayCallbackMessage();
UINT TaskbarCreatedMessage();
// Sends the callback message with a mouse event, as the shell does.
LRESULT SendTrayMouseEvent(HWND window, LPARAM mouseEvent);

void PumpMessages();
// Windows of this thread; those of the TrayButton class only, when asked.
std::vector<HWND> ThreadWindows(bool trayButtonClassOnly = false);
size_t CountBusyHeapBlocks();
bool IsBusyHeapBlock(const void* address);

#endif
