// What the hook's watchdog costs per key event: the raw keyboard input that
// reaches the main window for every key.
//
// The real main window runs in this process, with the real hook installed,
// and receives raw input for keys typed by xdotool; every WM_INPUT dispatch
// is timed, the default handling included.  In alternating rounds the same
// keys go to a bare window registered for the same raw input, whose
// procedure only hands WM_INPUT to DefWindowProcA: what reading raw input
// costs any program.  The difference is the watchdog's own part.  Needs an X
// display: scripts/bench.sh runs it on a virtual one.
//   raw_input_benchmark [--keys=<n>] [--rounds=<n>]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app_state.h"
#include "bench/bench_support.h"
#include "hook_watchdog.h"
#include "main_window.h"
#include "resource.h"
#include "volume_hook_control.h"
#include "tests/support/message_pump.h"
#include "tests/support/x_input.h"

namespace {

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateBareWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BareWindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "RawInputReference";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
}

bool ListenWith(HWND target)
{
    RAWINPUTDEVICE device = { 1, 6, RIDEV_INPUTSINK, target };
    return RegisterRawInputDevices(&device, 1, sizeof device) != FALSE;
}

struct RoundResult {
    int messages;
    double seconds;  // spent dispatching them
};

// Types `keys` letters (twice as many key events) and times the dispatch of
// every WM_INPUT until all of them have come.
bool TimeRound(int keys, RoundResult* result)
{
    std::string arguments = "type --delay 0 ";
    for (int i = 0; i < keys; ++i) {
        arguments += static_cast<char>('a' + i % 8);
    }
    XdotoolRun run;
    if (!StartXdotool(arguments.c_str(), &run)) {
        return false;
    }
    *result = RoundResult{ 0, 0.0 };
    bool ended = false, succeeded = false;
    DWORD quietSince = GetTickCount();
    while (result->messages < 2 * keys) {
        MSG msg;
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_INPUT) {
                double start = Now();
                DispatchMessageA(&msg);
                result->seconds += Now() - start;
                result->messages++;
                quietSince = GetTickCount();
            } else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            continue;
        }
        ended = ended || XdotoolEnded(&run, &succeeded);
        if (ended && GetTickCount() - quietSince > 2000) {
            break;  // X let some keys go; what came is measured
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
    while (!ended) {
        ended = XdotoolEnded(&run, &succeeded);
        PumpPendingMessages();
    }
    return succeeded && result->messages > 0;
}

} // namespace

int main(int argc, char** argv)
{
    int keys = TakeIntArgument(argc, argv, "--keys", 1000);
    int rounds = TakeIntArgument(argc, argv, "--rounds", 6);
    ModuleInstance = GetModuleHandleA(NULL);

    HWND mainWindow = CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainWindowProc, 0);
    HWND bare = CreateBareWindow();
    if (mainWindow == NULL || bare == NULL || !StartVolumeHook()) {
        PrintError("could not create the windows or install the hook, error %lu", GetLastError());
        return 1;
    }
    MainWindowHandle = mainWindow;
    // The X server's keys reach Wine only through a focused window of it.
    ShowWindow(mainWindow, SW_SHOW);
    SetForegroundWindow(mainWindow);
    PumpUntil([&] { return GetForegroundWindow() == mainWindow; }, 5000);

    std::vector<double> watchdog, reference;
    int messages = 0;
    for (int round = 0; round < rounds; ++round) {
        bool mine = round % 2 == 0;
        if (!(mine ? StartHookWatchdog(mainWindow) : ListenWith(bare))) {
            PrintError("raw input could not be registered, error %lu", GetLastError());
            return 1;
        }
        RoundResult result;
        if (!TimeRound(keys, &result)) {
            PrintError("xdotool did not type (is there an X display?)");
            return 1;
        }
        (mine ? watchdog : reference).push_back(result.seconds * 1e6 / result.messages);
        messages += result.messages;
    }
    if (HookWatchdog.hasRestored) {
        PrintError("the watchdog replaced a live hook during the measurement");
        return 1;
    }

    char figure[160], value[64], beside[96], result[128];
    std::snprintf(figure, sizeof figure,
                  "Raw keyboard input for the hook's watchdog, per key event (WM_INPUT dispatch to the main "
                  "window, %d xdotool events in %d rounds)", messages, rounds);
    std::snprintf(value, sizeof value, "%.1f us", Median(watchdog));
    std::snprintf(beside, sizeof beside, "bare window that only reads raw input: %.1f us", Median(reference));
    std::snprintf(result, sizeof result,
                  "%+.1f us for the main window's handling: the dialog's dispatch and the watchdog's check "
                  "(medians of rounds)",
                  Median(watchdog) - Median(reference));
    PrintRow(figure, value, beside, result);

    StopVolumeHook();
    DestroyWindow(mainWindow);
    DestroyWindow(bare);
    return 0;
}
