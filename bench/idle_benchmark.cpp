// What an idle Mirelle costs the machine: how often its threads are woken and
// how much CPU they use while nothing happens, in the ordinary mode (its
// window shown) and in the tray mode (started minimized, so only its
// notification icon shows), each time next to the minimal dialog running at
// the same moment.  The goal is no wake-up at all.
//
// Under Wine the counts come from the Linux side (every thread of the
// program's Linux process: context switches and time on a CPU); they cover
// the program and the Wine code that runs in its process, not the wineserver.
// Runs on an X display (scripts/bench.sh gives it a virtual one), where the
// notification area exists.  The mouse pointer is moved to a corner first:
// a pointer resting on a button makes the system track when it leaves (Wine
// polls for that every 10 ms), in any program.
//   idle_benchmark --mirelle=<path> --minimal=<path> [--seconds=<n>]
#include <windows.h>

#include <cstdio>

#include "bench/bench_support.h"
#include "bench/linux_process.h"

namespace {

const char MirelleTitle[] = "Mirelle";
const char TrayMinimizeValue[] = "TrayMinimize";

// A running program and its Linux process.
struct Watched {
    const char* path;
    DialogProgram program;
    int pid;
    LinuxCounters before;
    LinuxCounters after;
};

// Mirelle started minimized with the tray mode on: it shows no window, only
// its notification icon.
bool StartBehindIcon(DialogProgram* program, const char* path)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    char commandLine[MAX_PATH + 2];
    lstrcpynA(commandLine, path, MAX_PATH);
    program->window = NULL;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &program->info)) {
        PrintError("could not start %s, error %lu", path, GetLastError());
        return false;
    }
    WaitForInputIdle(program->info.hProcess, 20000);
    program->window = FindProcessDialog(program->info.dwProcessId, MirelleTitle, 10000, false);
    if (program->window == NULL || IsWindowVisible(program->window)) {
        PrintError("Mirelle did not start hidden behind its notification icon");
        StopDialogProgram(program);
        return false;
    }
    return true;
}

bool ReadCounters(Watched* watched, LinuxCounters* counters)
{
    if (!ReadLinuxCounters(watched->pid, counters)) {
        PrintError("could not read the counters of %s (Linux process %d) from /proc", watched->path, watched->pid);
        return false;
    }
    return true;
}

// Waits until neither program has been switched for half a second (at most
// ten seconds: one that never settles is what the figure is there to show),
// then counts for `seconds`.
bool Count(Watched* programs, int count, int seconds)
{
    for (int i = 0; i < count; ++i) {
        programs[i].pid = FindLinuxProcess(programs[i].path);
        if (programs[i].pid == 0) {
            PrintError("no Linux process found for %s: idle is measured under Wine only", programs[i].path);
            return false;
        }
    }
    DWORD settling = GetTickCount();
    bool quiet = false;
    while (!quiet && GetTickCount() - settling < 10000) {
        for (int i = 0; i < count; ++i) {
            if (!ReadCounters(&programs[i], &programs[i].before)) {
                return false;
            }
        }
        Sleep(500);
        quiet = true;
        for (int i = 0; i < count; ++i) {
            if (!ReadCounters(&programs[i], &programs[i].after)) {
                return false;
            }
            quiet = quiet && programs[i].after.switches == programs[i].before.switches;
        }
    }
    for (int i = 0; i < count; ++i) {
        if (!ReadCounters(&programs[i], &programs[i].before)) {
            return false;
        }
    }
    Sleep(static_cast<DWORD>(seconds) * 1000);
    for (int i = 0; i < count; ++i) {
        if (!ReadCounters(&programs[i], &programs[i].after)) {
            return false;
        }
    }
    return true;
}

void FormatIdle(char* out, size_t capacity, const Watched& watched, int seconds)
{
    unsigned long long switches = watched.after.switches - watched.before.switches;
    double cpu = static_cast<double>(watched.after.cpuNanoseconds - watched.before.cpuNanoseconds) * 1e-6;
    std::snprintf(out, capacity, "%llu switches (%.1f a second), %.1f ms CPU, %d thread%s", switches,
                  static_cast<double>(switches) / seconds, cpu, watched.after.threads,
                  watched.after.threads == 1 ? "" : "s");
}

// Mirelle in one mode and the minimal dialog, both started, idle for the
// given time, then ended.
bool MeasureMode(const char* mode, bool tray, const char* mirellePath, const char* minimalPath, int seconds)
{
    DWORD trayMinimize = tray ? 1 : 0;
    if (!WriteSettingsValue(TrayMinimizeValue, REG_DWORD, &trayMinimize, sizeof trayMinimize)) {
        PrintError("could not write the tray mode to the registry");
        return false;
    }
    Watched programs[2] = { { mirellePath, {}, 0, {}, {} }, { minimalPath, {}, 0, {}, {} } };
    bool started = (tray ? StartBehindIcon(&programs[0].program, mirellePath)
                         : StartDialogProgram(&programs[0].program, mirellePath) >= 0)
                && StartDialogProgram(&programs[1].program, minimalPath) >= 0;
    bool counted = started && Count(programs, 2, seconds);
    bool stopped = StopDialogProgram(&programs[1].program) && StopDialogProgram(&programs[0].program);
    if (!counted || !stopped) {
        return false;
    }
    char figure[240], mine[96], reference[128], result[64];
    std::snprintf(figure, sizeof figure,
                  "Idle for %d s with nothing happening, %s: wake-ups (context switches of every thread of the "
                  "program's Linux process) and their CPU time", seconds, mode);
    FormatIdle(mine, sizeof mine, programs[0], seconds);
    char idle[96];
    FormatIdle(idle, sizeof idle, programs[1], seconds);
    std::snprintf(reference, sizeof reference, "minimal dialog, idle beside it: %s", idle);
    bool none = programs[0].after.switches == programs[0].before.switches;
    std::snprintf(result, sizeof result, "target: no wake-up at all %s", none ? "met" : "NOT met");
    PrintRow(figure, mine, reference, result);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    char mirellePath[MAX_PATH], minimalPath[MAX_PATH];
    if (!TakeProgramPaths(argc, argv, mirellePath, minimalPath,
                          "idle_benchmark --mirelle=<path> --minimal=<path> [--seconds=<n>]")) {
        return 2;
    }
    int seconds = TakeIntArgument(argc, argv, "--seconds", 60);
    seconds = seconds < 1 ? 1 : seconds;
    if (MirelleIsOpen()) {
        return 1;
    }
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);

    // The stored mode is put back afterwards, or removed if there was none.
    DWORD saved = 0, type = 0, size = sizeof saved;
    bool hadSaved = ReadSettingsValue(TrayMinimizeValue, &type, reinterpret_cast<BYTE*>(&saved), &size);
    bool measured = MeasureMode("ordinary mode (the window shown, the pointer away from it)", false, mirellePath,
                                minimalPath, seconds)
                 && MeasureMode("tray mode (started minimized: only the notification icon)", true, mirellePath,
                                minimalPath, seconds);
    if (hadSaved) {
        WriteSettingsValue(TrayMinimizeValue, type, &saved, size);
    } else {
        RemoveSettingsKey();
    }
    return measured ? 0 : 1;
}
