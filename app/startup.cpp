#include "startup.h"

#include <commctrl.h>

#include "app_state.h"
#include "error_box.h"
#include "main_window.h"
#include "settings_store.h"
#include "start_turn.h"
#include "system_library.h"
#include "tray_minimize_flag.h"
#include "hook_state.h"
#include "volume_hook_control.h"
#include "resource.h"
#include "traybutton.h"

namespace {

const int ModulePathCapacity = 128;
const int VersionPathCapacity = MAX_PATH;
const int WindowNameCapacity = 256;
// How long a second start waits for the first instance to restore its window.
const UINT BringBackWait = 5000;

typedef DWORD(WINAPI* GetFileVersionInfoSizeFunction)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* GetFileVersionInfoFunction)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* VerQueryValueFunction)(LPCVOID, LPCSTR, LPVOID*, PUINT);

// Copies the program's own VS_FIXEDFILEINFO into VersionRecord.  Every step
// is checked: when any of them fails, a version function missing included,
// the record stays all zero, and the About box then shows zeros rather than
// whatever a bad pointer held.
void CopyVersionRecord(HMODULE version, const char* path)
{
    GetFileVersionInfoSizeFunction getSize =
        FindFunction<GetFileVersionInfoSizeFunction>(version, "GetFileVersionInfoSizeA");
    GetFileVersionInfoFunction getInfo = FindFunction<GetFileVersionInfoFunction>(version, "GetFileVersionInfoA");
    VerQueryValueFunction queryValue = FindFunction<VerQueryValueFunction>(version, "VerQueryValueA");
    if (getSize == NULL || getInfo == NULL || queryValue == NULL) {
        return;
    }
    DWORD handle = 0;
    DWORD size = getSize(path, &handle);
    if (size == 0) {
        return;
    }
    HANDLE heap = GetProcessHeap();
    void* block = HeapAlloc(heap, 0, size);
    if (block == NULL) {
        return;
    }
    void* fixed = NULL;
    UINT fixedLength = 0;
    if (getInfo(path, 0, size, block) && queryValue(block, "\\", &fixed, &fixedLength) && fixed != NULL
        && fixedLength >= sizeof(VS_FIXEDFILEINFO)) {
        const VS_FIXEDFILEINFO* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
        if (info->dwSignature == VS_FFI_SIGNATURE) {
            VersionRecord = *info;
        }
    }
    HeapFree(heap, 0, block);
}

void FillVersionRecord(HINSTANCE instance)
{
    char path[VersionPathCapacity];
    DWORD length = GetModuleFileNameA(instance, path, VersionPathCapacity);
    if (length == 0 || length >= static_cast<DWORD>(VersionPathCapacity)) {
        return;
    }
    HMODULE version = LoadSystemLibrary("version.dll");
    CopyVersionRecord(version, path);
    if (version != NULL) {
        FreeLibrary(version);
    }
}

// Another main window of this desktop, whichever side of ours it lies on in
// the window order; null when there is none.
HWND FindOtherInstance(HWND mainWindow)
{
    char windowClass[WindowNameCapacity];
    char title[WindowNameCapacity];
    GetClassNameA(mainWindow, windowClass, WindowNameCapacity);
    GetWindowTextA(mainWindow, title, WindowNameCapacity);
    HWND other = FindWindowA(windowClass, title);
    if (other == mainWindow) {
        other = FindWindowExA(NULL, mainWindow, windowClass, title);
    }
    return IsWindow(other) ? other : NULL;
}

// Brought to the front only, a window hidden behind its notification icon
// or minimized would stay out of sight, and a user who cannot find the icon
// would have no way back to it.  Restore does both through the icon's
// module, as the icon's own menu does.  The other instance's thread may be
// busy, or hung: this start does not wait on it for long.
void BringBack(HWND other)
{
    if (!IsWindowVisible(other) || IsIconic(other)) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(other, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_ABORTIFHUNG, BringBackWait, &ignored);
    }
    SetForegroundWindow(other);
}

// Behind its icon Mirelle is neither visible nor audible, which Windows 10
// (from 1709) and 11 take, on battery, as leave to run it on the slowest
// clock and cores.  Yet its thread answers for every key typed on the
// desktop: a hook that answers late makes all typing lag, and Windows drops
// it after LowLevelHooksTimeout.  So the program opts out.  Windows 7 lacks
// the function and Windows 8 to 10 1703 refuse the class; either way
// nothing changes, and nothing needs saying.
void KeepFullSpeedOnBattery()
{
    typedef BOOL(WINAPI * SetProcessInformationFunction)(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID, DWORD);
    SetProcessInformationFunction setInformation =
        FindFunction<SetProcessInformationFunction>(GetModuleHandleA("kernel32.dll"), "SetProcessInformation");
    if (setInformation == NULL) {
        return;
    }
    PROCESS_POWER_THROTTLING_STATE throttling = {};
    throttling.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    throttling.ControlMask = PROCESS_POWER_THROTTLING_EXECUTION_SPEED;
    throttling.StateMask = 0;
    setInformation(GetCurrentProcess(), ProcessPowerThrottling, &throttling, sizeof throttling);
}

int RunMessageLoop()
{
    MSG msg;
    for (;;) {
        BOOL result = GetMessageA(&msg, NULL, 0, 0);
        if (result == 0) {
            return static_cast<int>(msg.wParam);
        }
        if (result == -1) {
            // The message structure holds nothing meaningful then.
            return 1;
        }
        // Once the main window is gone, the messages up to WM_QUIT are only
        // dispatched.
        if (MainWindowHandle != NULL && IsDialogMessageA(MainWindowHandle, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

} // namespace

void ShowModuleMessage(const char* text)
{
    char path[ModulePathCapacity];
    DWORD length = GetModuleFileNameA(NULL, path, ModulePathCapacity);
    if (length >= static_cast<DWORD>(ModulePathCapacity)) {
        length = ModulePathCapacity - 1;
    }
    path[length] = '\0';
    MessageBoxA(GetActiveWindow(), text, path, MB_OK);
}

void RefuseWindows9x()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        ShowModuleMessage("This application requires features not present in Windows 9x.");
        ExitProcess(0);
    }
}

int RunMirelle(HINSTANCE instance, int showCommand)
{
    ModuleInstance = instance;
    RefuseWindows9x();
    if (LoadStringA(instance, IDS_PLAYER_CLASS, PlayerClassName, PlayerClassNameCapacity) <= 0) {
        PlayerClassName[0] = '\0';
    }
    FillVersionRecord(instance);
    LoadSettings();
    KeepFullSpeedOnBattery();

    // The manifest asks for version 6 of the common controls, which supplies
    // the visual-style buttons, check box and edit fields; it has to be
    // loaded before the first dialog is made.
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&controls);

    // A start at the same moment waits until this one's window exists.
    HANDLE turn = WaitForStartTurn();
    HWND mainWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainWindowProc, 0);
    MainWindowHandle = mainWindow;
    HWND other = mainWindow != NULL ? FindOtherInstance(mainWindow) : NULL;
    EndStartTurn(turn);
    if (mainWindow == NULL) {
        return 1;
    }

    if (other != NULL) {
        BringBack(other);
        DestroyWindow(mainWindow);
        return 0;
    }

    if (!StartVolumeHook()) {
        ReportError(mainWindow, GetLastError(), IDS_HOOK_ERROR, IDS_ERROR_CAPTION);
        return 1;
    }

    AttachTrayButton(mainWindow, &showCommand, TrayMinimize, FALSE);
    ShowWindow(mainWindow, showCommand);

    int exitCode = RunMessageLoop();
    StopVolumeHook();
    return exitCode;
}
