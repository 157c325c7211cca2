// Mirelle's start-up one step at a time, for finding where its start-up time
// and memory go: built into the minimal dialog's twin that shows Mirelle's
// main window (startup_steps.exe), it adds Mirelle's code and imports and
// those of Mirelle's start-up steps that the command line names, in
// Mirelle's order and through its own functions where they are public:
//   dll-search RestrictDllSearchToSystem32, with the DLLs it loads at once
//   version    the version record: VERSION.dll from System32 and its three calls
//   settings   LoadSettings, the registry read
//   turn       the start's turn (WaitForStartTurn) and the look for another
//              main window, around making the window
//   icons      UpdateWindowIcons, the window's big and small icons at its scale
//   status     the status line and the check box
//   session    StartSessionWatch, the session notifications
//   raw-input  StartHookWatchdog, raw keyboard input for the hook's watchdog
//   hook       StartVolumeHook, the low-level keyboard hook
//   tray       AttachTrayButton, with the stored mode
//   all        every one of them
// startup_benchmark starts it next to Mirelle and the minimal dialog.
#include "bench/startup_steps.h"

#include <cstring>

#include "app_state.h"
#include "hook_state.h"
#include "hook_watchdog.h"
#include "main_window.h"
#include "resource.h"
#include "session_watch.h"
#include "settings_store.h"
#include "start_turn.h"
#include "system_library.h"
#include "tray_minimize_flag.h"
#include "traybutton.h"
#include "volume_hook_control.h"

namespace {

enum Step : unsigned {
    DllSearch = 1 << 0,
    Version = 1 << 1,
    Settings = 1 << 2,
    Turn = 1 << 3,
    Icons = 1 << 4,
    Status = 1 << 5,
    Session = 1 << 6,
    RawInput = 1 << 7,
    Hook = 1 << 8,
    Tray = 1 << 9,
};

unsigned Steps = 0;
HANDLE StartTurn = NULL;

bool Wanted(Step step)
{
    return (Steps & step) != 0;
}

unsigned StepsOf(const char* commandLine)
{
    const struct {
        const char* word;
        unsigned steps;
    } names[] = { { "dll-search", DllSearch }, { "version", Version }, { "settings", Settings }, { "turn", Turn },
                  { "icons", Icons }, { "status", Status }, { "session", Session }, { "raw-input", RawInput },
                  { "hook", Hook }, { "tray", Tray }, { "all", ~0u } };
    unsigned steps = 0;
    for (const auto& name : names) {
        if (std::strstr(commandLine, name.word) != NULL) {
            steps |= name.steps;
        }
    }
    return steps;
}

using GetFileVersionInfoSizeFunction = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using GetFileVersionInfoFunction = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using VerQueryValueFunction = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

// As Mirelle's start-up fills its version record.
void ReadVersionRecord(HINSTANCE instance)
{
    char path[MAX_PATH];
    HMODULE version = LoadSystemLibrary("version.dll");
    auto getSize = FindFunction<GetFileVersionInfoSizeFunction>(version, "GetFileVersionInfoSizeA");
    auto getInfo = FindFunction<GetFileVersionInfoFunction>(version, "GetFileVersionInfoA");
    auto query = FindFunction<VerQueryValueFunction>(version, "VerQueryValueA");
    DWORD handle = 0, size = 0;
    if (getSize != NULL && getInfo != NULL && query != NULL && GetModuleFileNameA(instance, path, MAX_PATH) != 0
        && (size = getSize(path, &handle)) != 0) {
        void* block = HeapAlloc(GetProcessHeap(), 0, size);
        void* fixed = NULL;
        UINT fixedLength = 0;
        if (block != NULL && getInfo(path, 0, size, block) && query(block, "\\", &fixed, &fixedLength)
            && fixedLength >= sizeof(VS_FIXEDFILEINFO)) {
            VersionRecord = *static_cast<const VS_FIXEDFILEINFO*>(fixed);
        }
        HeapFree(GetProcessHeap(), 0, block);
    }
    if (version != NULL) {
        FreeLibrary(version);
    }
}

} // namespace

void StepsBeforeDialog(HINSTANCE instance, const char* commandLine)
{
    Steps = StepsOf(commandLine);
    if (Wanted(DllSearch)) {
        RestrictDllSearchToSystem32();
    }
    ModuleInstance = instance;
    // What every start does first, so that the hook, when installed, acts as
    // Mirelle's.
    if (LoadStringA(instance, IDS_PLAYER_CLASS, PlayerClassName, PlayerClassNameCapacity) <= 0) {
        PlayerClassName[0] = '\0';
    }
    if (Wanted(Version)) {
        ReadVersionRecord(instance);
    }
    if (Wanted(Settings)) {
        LoadSettings();
    }
    if (Wanted(Turn)) {
        StartTurn = WaitForStartTurn();
    }
}

void StepsInInitDialog(HWND window)
{
    if (Wanted(Icons)) {
        UpdateWindowIcons(window, 0);
    }
    if (Wanted(Status)) {
        UpdateStatusText(window);
        CheckDlgButton(window, IDC_MAIN_TRAY_MINIMIZE, TrayMinimize ? BST_CHECKED : BST_UNCHECKED);
    }
    if (Wanted(Session)) {
        StartSessionWatch(window);
    }
    if (Wanted(RawInput)) {
        StartHookWatchdog(window);
    }
}

void StepsBeforeShow(HWND window, int* showCommand)
{
    MainWindowHandle = window;
    if (Wanted(Turn)) {
        // No other Mirelle runs while the benchmark starts this one; the
        // look for it costs the same all the same.
        FindWindowExA(NULL, window, "#32770", "Mirelle");
        EndStartTurn(StartTurn);
    }
    if (Wanted(Hook)) {
        StartVolumeHook();
    }
    if (Wanted(Tray)) {
        AttachTrayButton(window, showCommand, TrayMinimize, FALSE);
    }
}
