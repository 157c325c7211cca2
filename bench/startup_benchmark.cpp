// How long the real mirelle.exe takes from CreateProcess until its main
// window is visible, and how much private memory it holds then, next to a
// minimal dialog program built the same way.  Starts alternate between the
// two programs, so drift in the machine's load touches both alike.
//   startup_benchmark --mirelle=<path> --minimal=<path> [--runs=<n>]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <vector>

#include "bench/bench_support.h"
#include "bench/minimal_dialog_ids.h"

namespace {

const char MirelleTitle[] = "Mirelle";

struct Program {
    const char* path;
    const char* title;
    std::vector<double> seconds;
    std::vector<double> privateBytes;
    std::vector<double> workingSet;
};

// Wine leaves PrivateUsage at 0 and fills PagefileUsage, which on Windows is
// the same commit charge, from the anonymous resident memory (RssAnon plus
// VmSwap) of the program's Unix process.  Whichever was used is named in the
// table.
bool UsedPagefileUsage = false;

double PrivateBytes(const PROCESS_MEMORY_COUNTERS_EX& counters)
{
    if (counters.PrivateUsage != 0) {
        return static_cast<double>(counters.PrivateUsage);
    }
    UsedPagefileUsage = true;
    return static_cast<double>(counters.PagefileUsage);
}

// One start: time to the visible window, then the private memory once the
// program waits for input, then Exit and wait for the process.
bool MeasureOneStart(Program* program, bool record)
{
    if (FindWindowA("#32770", MirelleTitle) != NULL) {
        PrintError("a Mirelle window is already open on this desktop; close it first");
        return false;
    }
    DialogProgram running;
    double seconds = StartDialogProgram(&running, program->path, program->title);
    if (seconds < 0) {
        return false;
    }
    WaitForInputIdle(running.info.hProcess, 2000);
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    BOOL haveCounters = GetProcessMemoryInfo(running.info.hProcess,
                                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                             sizeof counters);
    if (!StopDialogProgram(&running)) {
        return false;
    }
    if (record) {
        program->seconds.push_back(seconds);
        program->privateBytes.push_back(haveCounters ? PrivateBytes(counters) : -1.0);
        program->workingSet.push_back(haveCounters ? static_cast<double>(counters.WorkingSetSize) : -1.0);
    }
    return true;
}

double Smallest(const std::vector<double>& values)
{
    double smallest = values[0];
    for (double value : values) {
        smallest = value < smallest ? value : smallest;
    }
    return smallest;
}

double Largest(const std::vector<double>& values)
{
    double largest = values[0];
    for (double value : values) {
        largest = value > largest ? value : largest;
    }
    return largest;
}

} // namespace

int main(int argc, char** argv)
{
    char mirellePath[MAX_PATH];
    char minimalPath[MAX_PATH];
    if (!TakePathArgument(argc, argv, "--mirelle", mirellePath, sizeof mirellePath)
        || !TakePathArgument(argc, argv, "--minimal", minimalPath, sizeof minimalPath)) {
        PrintError("usage: startup_benchmark --mirelle=<path> --minimal=<path> [--runs=<n>]");
        return 2;
    }
    int runs = TakeIntArgument(argc, argv, "--runs", 7);
    if (runs < 1) {
        runs = 1;
    }

    Program mirelle = { mirellePath, MirelleTitle, {}, {}, {} };
    Program minimal = { minimalPath, MinimalDialogTitle, {}, {}, {} };

    // The first start of each program pays for reading it from disk; it is
    // not recorded.
    if (!MeasureOneStart(&mirelle, false) || !MeasureOneStart(&minimal, false)) {
        return 1;
    }
    for (int run = 0; run < runs; ++run) {
        Program* first = run % 2 == 0 ? &mirelle : &minimal;
        Program* second = run % 2 == 0 ? &minimal : &mirelle;
        if (!MeasureOneStart(first, true) || !MeasureOneStart(second, true)) {
            return 1;
        }
    }

    char figure[160];
    char mine[96];
    char reference[96];
    char result[96];
    double mirelleMs = Median(mirelle.seconds) * 1000.0;
    double minimalMs = Median(minimal.seconds) * 1000.0;
    std::snprintf(figure, sizeof figure, "Start-up to visible main window, median of %d starts (min-max)", runs);
    std::snprintf(mine, sizeof mine, "%.0f ms (%.0f-%.0f)", mirelleMs, Smallest(mirelle.seconds) * 1000.0,
                  Largest(mirelle.seconds) * 1000.0);
    std::snprintf(reference, sizeof reference, "minimal dialog: %.0f ms (%.0f-%.0f)", minimalMs,
                  Smallest(minimal.seconds) * 1000.0, Largest(minimal.seconds) * 1000.0);
    std::snprintf(result, sizeof result, "%+.0f ms (x%.2f)", mirelleMs - minimalMs, mirelleMs / minimalMs);
    PrintRow(figure, mine, reference, result);

    if (Smallest(mirelle.privateBytes) < 0 || Smallest(minimal.privateBytes) < 0) {
        PrintError("GetProcessMemoryInfo failed for a started program");
        return 1;
    }
    double mirelleKiB = Median(mirelle.privateBytes) / 1024.0;
    double minimalKiB = Median(minimal.privateBytes) / 1024.0;
    std::snprintf(figure, sizeof figure,
                  "Private memory after start-up, median (GetProcessMemoryInfo %s; working set beside it)",
                  UsedPagefileUsage ? "PagefileUsage, as PrivateUsage reads 0 under Wine" : "PrivateUsage");
    std::snprintf(mine, sizeof mine, "%.0f KiB (working set %.0f KiB)", mirelleKiB,
                  Median(mirelle.workingSet) / 1024.0);
    std::snprintf(reference, sizeof reference, "minimal dialog: %.0f KiB (working set %.0f KiB)", minimalKiB,
                  Median(minimal.workingSet) / 1024.0);
    std::snprintf(result, sizeof result, "%+.0f KiB", mirelleKiB - minimalKiB);
    PrintRow(figure, mine, reference, result);
    return 0;
}
