#include "tests/support/tray_harness.h"

#include <cstring>

#include "tests/support/import_patch.h"
#include "tests/support/message_pump.h"

const char TrayButtonName[] = "TrayButton{7C1E52D0-93AB-4F6E-A2D4-0B8C5E19F3A7}";

std::vector<LoggedMessage> MessageLog;
std::vector<DestroySnapshot> DestroySnapshots;
std::vector<MenuSnapshot> MenuSnapshots;
const UINT SystemMenuCommands[SystemMenuCommandCount] = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE,
                                                         SC_CLOSE};
std::vector<NotifyCall> NotifyCalls;
std::vector<HWND> ForegroundCalls;
std::vector<MessageFilterCall> MessageFilterCalls;
bool LogMessages = true;
int RefusedShellCalls = 0;
bool FailNextHeapAlloc = false;
std::string FailRegisteredMessage;
bool FailOwnerWindowCreation = false;
bool HideMessageFilter = false;
UINT MainDisplayDpi = 0;
bool RefuseCopyFromResource = false;
std::vector<MetricOverride> MetricOverrides;

namespace {

const char TestWindowClass[] = "TrayButtonTestWindow";

typedef BOOL(WINAPI* ShellNotifyIconFunction)(DWORD, PNOTIFYICONDATAA);
typedef LPVOID(WINAPI* HeapAllocFunction)(HANDLE, DWORD, SIZE_T);
typedef UINT(WINAPI* RegisterWindowMessageFunction)(LPCSTR);
typedef HWND(WINAPI* CreateWindowExFunction)(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                                               HINSTANCE, LPVOID);
typedef int(WINAPI* GetSystemMetricsFunction)(int);
typedef HANDLE(WINAPI* CopyImageFunction)(HANDLE, UINT, int, int, UINT);
typedef BOOL(WINAPI* SetForegroundWindowFunction)(HWND);
typedef FARPROC(WINAPI* GetProcAddressFunction)(HMODULE, LPCSTR);
typedef BOOL(WINAPI* MessageFilterFunction)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);

ShellNotifyIconFunction realShellNotifyIcon;
HeapAllocFunction realHeapAlloc;
RegisterWindowMessageFunction realRegisterWindowMessage;
CreateWindowExFunction realCreateWindowEx;
GetSystemMetricsFunction realGetSystemMetrics;
CopyImageFunction realCopyImage;
SetForegroundWindowFunction realSetForegroundWindow;
GetProcAddressFunction realGetProcAddress;
MessageFilterFunction realMessageFilter;

IdleAction idleAction;
LPARAM idleContext;

struct AnsweredIcons {
    HWND window;
    HICON small;
    HICON big;
};
std::vector<AnsweredIcons> answeredIcons;

BOOL WINAPI RecordShellNotifyIcon(DWORD message, PNOTIFYICONDATAA data)
{
    NotifyCall call;
    std::memset(&call, 0, sizeof(call));
    call.message = message;
    if (data != NULL) {
        call.cbSize = data->cbSize;
        size_t count = data->cbSize < sizeof(call.data) ? data->cbSize : sizeof(call.data);
        std::memcpy(&call.data, data, count);
    }
    if (RefusedShellCalls != 0) {
        RefusedShellCalls -= RefusedShellCalls > 0 ? 1 : 0;
    } else {
        // The null display driver has no notification area: every call
        // succeeds there, as with a shell that is ready.
        call.result = FindWindowA("Shell_TrayWnd", NULL) != NULL ? realShellNotifyIcon(message, data) : TRUE;
    }
    NotifyCalls.push_back(call);
    return call.result;
}

LPVOID WINAPI MaybeFailHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    if (FailNextHeapAlloc) {
        FailNextHeapAlloc = false;
        return NULL;
    }
    return realHeapAlloc(heap, flags, size);
}

UINT WINAPI MaybeFailRegisterWindowMessage(LPCSTR name)
{
    if (!FailRegisteredMessage.empty() && name != NULL && FailRegisteredMessage == name) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return realRegisterWindowMessage(name);
}

HWND WINAPI MaybeFailCreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                    LPVOID parameter)
{
    if (FailOwnerWindowCreation && !IS_INTRESOURCE(className) && lstrcmpA(className, TrayButtonName) == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    return realCreateWindowEx(exStyle, className, title, style, x, y, width, height, parent, menu, instance,
                              parameter);
}

int WINAPI OverridableGetSystemMetrics(int index)
{
    for (const MetricOverride& metric : MetricOverrides) {
        if (metric.index == index) {
            return metric.value;
        }
    }
    return realGetSystemMetrics(index);
}

HANDLE WINAPI MaybeRefuseCopyImage(HANDLE image, UINT type, int width, int height, UINT flags)
{
    bool refused = RefuseCopyFromResource && (flags & LR_COPYFROMRESOURCE) != 0;
    return refused ? NULL : realCopyImage(image, type, width, height, flags);
}

BOOL WINAPI RecordSetForegroundWindow(HWND window)
{
    ForegroundCalls.push_back(window);
    return realSetForegroundWindow(window);
}

BOOL WINAPI RecordMessageFilter(HWND window, UINT message, DWORD action, PCHANGEFILTERSTRUCT details)
{
    MessageFilterCalls.push_back({ window, message, action, details });
    return realMessageFilter(window, message, action, details);
}

HRESULT WINAPI ReportMainDisplayDpi(HMONITOR, int, UINT* dpiX, UINT* dpiY)
{
    *dpiX = *dpiY = MainDisplayDpi;
    return S_OK;
}

FARPROC WINAPI SteerGetProcAddress(HMODULE module, LPCSTR name)
{
    FARPROC function = realGetProcAddress(module, name);
    if (MainDisplayDpi != 0 && !IS_INTRESOURCE(name) && lstrcmpA(name, "GetDpiForMonitor") == 0) {
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(ReportMainDisplayDpi));
    }
    if (function == NULL || IS_INTRESOURCE(name) || lstrcmpA(name, "ChangeWindowMessageFilterEx") != 0) {
        return function;
    }
    realMessageFilter = reinterpret_cast<MessageFilterFunction>(reinterpret_cast<void (*)()>(function));
    return HideMessageFilter ? NULL : reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(RecordMessageFilter));
}

template <typename Function>
void Patch(const char* dll, const char* name, Function replacement, Function* real)
{
    void* previous = PatchImport(dll, name, reinterpret_cast<void*>(replacement));
    if (previous == nullptr) {
        // The program must import it: the module calls it.
        char text[128];
        wsprintfA(text, "%s!%s is not imported by the test program", dll, name);
        FatalAppExitA(0, text);
    }
    *real = reinterpret_cast<Function>(previous);
}

} // namespace

void InstallTrayRecorders()
{
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    Patch("shell32.dll", "Shell_NotifyIconA", &RecordShellNotifyIcon, &realShellNotifyIcon);
    Patch("kernel32.dll", "HeapAlloc", &MaybeFailHeapAlloc, &realHeapAlloc);
    Patch("user32.dll", "RegisterWindowMessageA", &MaybeFailRegisterWindowMessage, &realRegisterWindowMessage);
    Patch("user32.dll", "CreateWindowExA", &MaybeFailCreateWindowEx, &realCreateWindowEx);
    Patch("user32.dll", "GetSystemMetrics", &OverridableGetSystemMetrics, &realGetSystemMetrics);
    Patch("user32.dll", "SetForegroundWindow", &RecordSetForegroundWindow, &realSetForegroundWindow);
    Patch("user32.dll", "CopyImage", &MaybeRefuseCopyImage, &realCopyImage);
    Patch("kernel32.dll", "GetProcAddress", &SteerGetProcAddress, &realGetProcAddress);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordingWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    windowClass.lpszClassName = TestWindowClass;
    RegisterClassA(&windowClass);

    // The first window of a thread brings the thread's IME window with it:
    // have it exist before tests count the thread's windows.
    DestroyWindow(CreateWindowExA(0, TestWindowClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL));
    MessageLog.clear();
    DestroySnapshots.clear();
}

void ResetRecords()
{
    MessageLog.clear();
    DestroySnapshots.clear();
    MenuSnapshots.clear();
    NotifyCalls.clear();
    ForegroundCalls.clear();
    MessageFilterCalls.clear();
    HideMessageFilter = false;
    MainDisplayDpi = 0;
    RefuseCopyFromResource = false;
    RefusedShellCalls = 0;
    LogMessages = true;
    FailNextHeapAlloc = false;
    FailRegisteredMessage.clear();
    FailOwnerWindowCreation = false;
    MetricOverrides.clear();
    idleAction = nullptr;
    idleContext = 0;
}

BOOL RealShellNotifyIcon(DWORD message, NOTIFYICONDATAA* data)
{
    return realShellNotifyIcon(message, data);
}

void SetMenuIdleAction(IdleAction action, LPARAM context)
{
    idleAction = action;
    idleContext = context;
}

namespace {

BOOL CALLBACK CountProperty(HWND, LPSTR, HANDLE, ULONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

LRESULT AnswerIcon(HWND window, WPARAM which)
{
    for (const AnsweredIcons& icons : answeredIcons) {
        if (icons.window == window) {
            return reinterpret_cast<LRESULT>(which == ICON_BIG ? icons.big : icons.small);
        }
    }
    return 0;
}

} // namespace

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LogMessages) {
        MessageLog.push_back(LoggedMessage{window, message, wParam, lParam});
    }
    switch (message) {
    case WM_GETICON:
        return AnswerIcon(window, wParam);
    case WM_ENTERIDLE:
        if (wParam == MSGF_MENU && idleAction != nullptr) {
            IdleAction action = idleAction;
            idleAction = nullptr;
            action(window, idleContext);
        }
        return 0;
    case WM_INITMENUPOPUP: {
        MenuSnapshot snapshot = {};
        snapshot.window = window;
        snapshot.menu = reinterpret_cast<HMENU>(wParam);
        snapshot.lParam = lParam;
        for (int i = 0; i < SystemMenuCommandCount; ++i) {
            snapshot.states[i] = GetMenuState(snapshot.menu, SystemMenuCommands[i], MF_BYCOMMAND);
        }
        snapshot.defaultItem = GetMenuDefaultItem(snapshot.menu, FALSE, 0);
        MenuSnapshots.push_back(snapshot);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    case WM_DESTROY: {
        DestroySnapshot snapshot = {};
        snapshot.window = window;
        snapshot.property = GetPropA(window, TrayButtonName);
        snapshot.procedure = GetWindowLongPtrA(window, GWLP_WNDPROC);
        snapshot.owner = GetWindow(window, GW_OWNER);
        EnumPropsExA(window, CountProperty, reinterpret_cast<LPARAM>(&snapshot.propertyCount));
        DestroySnapshots.push_back(snapshot);
        for (size_t i = 0; i < answeredIcons.size(); ++i) {
            if (answeredIcons[i].window == window) {
                answeredIcons.erase(answeredIcons.begin() + static_cast<long>(i));
                break;
            }
        }
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND CreateTestWindow(const char* title, int x, int y, int width, int height, DWORD style, DWORD exStyle)
{
    InstallTrayRecorders();
    return CreateWindowExA(exStyle, TestWindowClass, title, style, x, y, width, height, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

void SetAnsweredIcons(HWND window, HICON small, HICON big)
{
    answeredIcons.push_back(AnsweredIcons{window, small, big});
}

int CountMessages(HWND window, UINT message)
{
    int count = 0;
    for (const LoggedMessage& logged : MessageLog) {
        if (logged.window == window && logged.message == message) {
            ++count;
        }
    }
    return count;
}

const LoggedMessage* FindMessage(HWND window, UINT message)
{
    for (const LoggedMessage& logged : MessageLog) {
        if (logged.window == window && logged.message == message) {
            return &logged;
        }
    }
    return nullptr;
}

std::vector<NotifyCall> CallsWith(DWORD message)
{
    std::vector<NotifyCall> calls;
    for (const NotifyCall& call : NotifyCalls) {
        if (call.message == message) {
            calls.push_back(call);
        }
    }
    return calls;
}

UINT TrayCallbackMessage()
{
    return RegisterWindowMessageA(TrayButtonName);
}

UINT TaskbarCreatedMessage()
{
    return RegisterWindowMessageA("TaskbarCreated");
}

LRESULT SendTrayMouseEvent(HWND window, LPARAM mouseEvent)
{
    return SendMessageA(window, TrayCallbackMessage(), 0, mouseEvent);
}

void PumpMessages()
{
    PumpPendingMessages();
}

namespace {

struct WindowCollection {
    bool trayButtonClassOnly;
    std::vector<HWND>* windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter)
{
    WindowCollection* collection = reinterpret_cast<WindowCollection*>(parameter);
    if (collection->trayButtonClassOnly) {
        char className[128] = "";
        GetClassNameA(window, className, sizeof(className));
        if (lstrcmpA(className, TrayButtonName) != 0) {
            return TRUE;
        }
    }
    collection->windows->push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> ThreadWindows(bool trayButtonClassOnly)
{
    std::vector<HWND> windows;
    WindowCollection collection = {trayButtonClassOnly, &windows};
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&collection));
    return windows;
}

size_t CountBusyHeapBlocks()
{
    HANDLE heap = GetProcessHeap();
    size_t count = 0;
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry;
    std::memset(&entry, 0, sizeof(entry));
    while (HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            ++count;
        }
    }
    HeapUnlock(heap);
    return count;
}

bool IsBusyHeapBlock(const void* address)
{
    HANDLE heap = GetProcessHeap();
    bool busy = false;
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry;
    std::memset(&entry, 0, sizeof(entry));
    while (HeapWalk(heap, &entry)) {
        if (entry.lpData == address && (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            busy = true;
        }
    }
    HeapUnlock(heap);
    return busy;
}
