// How long the real mirelle.exe takes from CreateProcess until its main
// window is visible and waits for input, and how much private memory it
// holds then, next to a minimal dialog program built the same way.
//
// Single starts under Wine vary by a factor of two and more with the load on
// the machine, which drifts; so the programs are started in pairs of
// neighbouring starts, which goes first alternating from pair to pair, and
// the figure is the median of the ratios of the pairs with its quartiles.
//
// With --steps it also shows where Mirelle's start-up time and memory go,
// one step at a time, with programs built next to this one: the minimal
// dialog; its twin that imports SHELL32; its twin that shows Mirelle's main
// window template from Mirelle's resources; startup_steps.exe, which adds
// Mirelle's code and imports and none, one or all of its start-up steps; and
// Mirelle itself.  Each step is timed as pairs of neighbouring starts with
// the configuration below it, one pair per step in each round, the steps in
// rotating order.
//   startup_benchmark --mirelle=<path> --minimal=<path> [--pairs=<n>] [--steps [--rounds=<n>]]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/linux_process.h"

namespace {

const int CommandLineCapacity = MAX_PATH + 32;

struct Program {
    char commandLine[CommandLineCapacity];
    const char* imagePath;
    std::vector<double> seconds;
    std::vector<double> privateBytes;
    std::vector<double> workingSet;
    std::vector<MemoryKinds> memoryKinds;
};

void SetProgram(Program* program, const char* imagePath, const char* arguments = "")
{
    std::snprintf(program->commandLine, sizeof program->commandLine, "\"%s\"%s%s", imagePath,
                  arguments[0] != '\0' ? " " : "", arguments);
    program->imagePath = imagePath;
}

// Wine leaves PrivateUsage at 0 and fills PagefileUsage, which on Windows is
// the same commit charge, from the anonymous memory (RssAnon plus VmSwap) of
// the program's Linux process.  Whichever was used is named in the table.
bool UsedPagefileUsage = false;

double PrivateBytes(const PROCESS_MEMORY_COUNTERS_EX& counters)
{
    if (counters.PrivateUsage != 0) {
        return static_cast<double>(counters.PrivateUsage);
    }
    UsedPagefileUsage = true;
    return static_cast<double>(counters.PagefileUsage);
}

enum class Record { Nothing, Time, TimeAndMemoryKinds };

// One start: time until ready, then the memory it holds at that moment,
// then Exit and wait for the process.
bool MeasureOneStart(Program* program, Record record)
{
    if (MirelleIsOpen()) {
        return false;
    }
    DialogProgram running;
    double seconds = StartDialogProgram(&running, program->commandLine);
    if (seconds < 0) {
        return false;
    }
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    BOOL haveCounters = GetProcessMemoryInfo(running.info.hProcess,
                                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                             sizeof counters);
    MemoryKinds kinds = {};
    bool haveKinds = false;
    if (record == Record::TimeAndMemoryKinds) {
        int pid = FindLinuxProcess(program->imagePath);
        haveKinds = pid != 0 && ReadMemoryKinds(running.info.hProcess, pid, &kinds);
    }
    if (!StopDialogProgram(&running)) {
        return false;
    }
    if (record != Record::Nothing) {
        program->seconds.push_back(seconds);
        program->privateBytes.push_back(haveCounters ? PrivateBytes(counters) : -1.0);
        program->workingSet.push_back(haveCounters ? static_cast<double>(counters.WorkingSetSize) : -1.0);
    }
    if (haveKinds) {
        program->memoryKinds.push_back(kinds);
    }
    return true;
}

// "median (quartiles q1-q3)" of values scaled by `scale`, with `decimals`.
void FormatSpread(char* out, size_t capacity, const std::vector<double>& values, double scale, int decimals,
                  const char* unit)
{
    std::snprintf(out, capacity, "%.*f%s (quartiles %.*f-%.*f)", decimals, Median(values) * scale, unit, decimals,
                  Percentile(values, 25) * scale, decimals, Percentile(values, 75) * scale);
}

// --- Mirelle next to the minimal dialog ----------------------------------------

bool MeasurePairs(Program* mirelle, Program* minimal, int pairs)
{
    // The first start of each program pays for reading it from disk; it is
    // not recorded.
    if (!MeasureOneStart(mirelle, Record::Nothing) || !MeasureOneStart(minimal, Record::Nothing)) {
        return false;
    }
    // The memory's make-up is read in the last pairs only: reading it takes
    // a moment of the machine, though after the start it measures.
    const int kindPairs = 5;
    for (int pair = 0; pair < pairs; ++pair) {
        Record record = pair >= pairs - kindPairs ? Record::TimeAndMemoryKinds : Record::Time;
        Program* first = pair % 2 == 0 ? mirelle : minimal;
        Program* second = pair % 2 == 0 ? minimal : mirelle;
        if (!MeasureOneStart(first, record) || !MeasureOneStart(second, record)) {
            return false;
        }
    }
    std::vector<double> ratios;
    for (int pair = 0; pair < pairs; ++pair) {
        ratios.push_back(mirelle->seconds[pair] / minimal->seconds[pair]);
    }
    double ratio = Median(ratios);
    char figure[200], mine[96], reference[96], result[160], spread[80];
    std::snprintf(figure, sizeof figure,
                  "Start-up until the main window is visible and waits for input, %d pairs of neighbouring starts "
                  "(which goes first alternates): median (quartiles)", pairs);
    FormatSpread(mine, sizeof mine, mirelle->seconds, 1000.0, 0, " ms");
    FormatSpread(spread, sizeof spread, minimal->seconds, 1000.0, 0, " ms");
    std::snprintf(reference, sizeof reference, "minimal dialog: %s", spread);
    FormatSpread(spread, sizeof spread, ratios, 1.0, 3, "");
    std::snprintf(result, sizeof result, "Mirelle / minimal dialog per pair: %s; target <= 1.05 %s", spread,
                  ratio <= 1.05 ? "met" : "NOT met");
    PrintRow(figure, mine, reference, result);
    return true;
}

double MedianOf(const std::vector<MemoryKinds>& samples, double MemoryKinds::*kind)
{
    std::vector<double> values;
    for (const MemoryKinds& sample : samples) {
        values.push_back(sample.*kind);
    }
    return Median(values) / 1024.0;
}

MemoryKinds Difference(const MemoryKinds& a, const MemoryKinds& b)
{
    return MemoryKinds{ a.programImage - b.programImage, a.dllImages - b.dllImages, a.stacks - b.stacks,
                        a.otherPrivate - b.otherPrivate, a.linuxSide - b.linuxSide, a.total - b.total };
}

// The medians of each kind, in KiB; as differences (with their sign) when
// the samples are differences.
void FormatKinds(char* out, size_t capacity, const std::vector<MemoryKinds>& samples, bool differences)
{
    const char* format = differences
        ? "program image %+.0f, DLL images %+.0f, thread stacks %+.0f, heaps and other allocations %+.0f, "
          "Wine's Linux side %+.0f KiB"
        : "program image %.0f, DLL images %.0f, thread stacks %.0f, heaps and other allocations %.0f, "
          "Wine's Linux side %.0f KiB";
    std::snprintf(out, capacity, format, MedianOf(samples, &MemoryKinds::programImage),
                  MedianOf(samples, &MemoryKinds::dllImages), MedianOf(samples, &MemoryKinds::stacks),
                  MedianOf(samples, &MemoryKinds::otherPrivate), MedianOf(samples, &MemoryKinds::linuxSide));
}

bool PrintMemory(const Program& mirelle, const Program& minimal)
{
    if (Percentile(mirelle.privateBytes, 1) < 0 || Percentile(minimal.privateBytes, 1) < 0) {
        PrintError("GetProcessMemoryInfo failed for a started program");
        return false;
    }
    char figure[200], mine[200], reference[240], result[200];
    double mirelleKiB = Median(mirelle.privateBytes) / 1024.0;
    double minimalKiB = Median(minimal.privateBytes) / 1024.0;
    std::snprintf(figure, sizeof figure,
                  "Private memory when ready, median (GetProcessMemoryInfo %s; working set beside it)",
                  UsedPagefileUsage ? "PagefileUsage, as PrivateUsage reads 0 under Wine" : "PrivateUsage");
    std::snprintf(mine, sizeof mine, "%.0f KiB (working set %.0f KiB)", mirelleKiB,
                  Median(mirelle.workingSet) / 1024.0);
    std::snprintf(reference, sizeof reference, "minimal dialog: %.0f KiB (working set %.0f KiB)", minimalKiB,
                  Median(minimal.workingSet) / 1024.0);
    std::snprintf(result, sizeof result, "%+.0f KiB", mirelleKiB - minimalKiB);
    PrintRow(figure, mine, reference, result);

    // Only under Wine, where /proc shows the Linux side.
    if (mirelle.memoryKinds.empty() || minimal.memoryKinds.empty()) {
        return true;
    }
    std::snprintf(figure, sizeof figure,
                  "The same memory by where it lies: resident anonymous pages from /proc/<pid>/pagemap, placed in "
                  "the Windows view of the process (VirtualQueryEx), medians of %d starts",
                  static_cast<int>(mirelle.memoryKinds.size()));
    FormatKinds(mine, sizeof mine, mirelle.memoryKinds, false);
    char kinds[200];
    FormatKinds(kinds, sizeof kinds, minimal.memoryKinds, false);
    std::snprintf(reference, sizeof reference, "minimal dialog: %s", kinds);
    std::vector<MemoryKinds> difference;
    for (size_t i = 0; i < mirelle.memoryKinds.size() && i < minimal.memoryKinds.size(); ++i) {
        difference.push_back(Difference(mirelle.memoryKinds[i], minimal.memoryKinds[i]));
    }
    FormatKinds(result, sizeof result, difference, true);
    PrintRow(figure, mine, reference, result);
    return true;
}

// --- Where the start-up goes ------------------------------------------------------

// A configuration, and the one below it whose start-up it adds a step to.
struct Comparison {
    const char* label;
    int program;
    int below;
    std::vector<double> milliseconds;  // per pair: this one's start less the one below
};

// The programs of the steps live next to this one.
void SetProgramBesideThis(Program* program, std::vector<std::string>* paths, const char* name,
                          const char* arguments = "")
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (length == 0 || length >= MAX_PATH || slash == NULL) {
        path[0] = '\0';
        slash = path - 1;
    }
    lstrcpynA(slash + 1, name, static_cast<int>(MAX_PATH - (slash + 1 - path)));
    paths->push_back(path);
    SetProgram(program, paths->back().c_str(), arguments);
}

bool MeasureSteps(const char* minimalPath, const char* mirellePath, int rounds)
{
    const char* steps[] = { "dll-search", "version", "settings", "turn", "icons", "status",
                            "session", "raw-input", "hook", "tray", "all" };
    const int stepCount = sizeof steps / sizeof steps[0];
    const int none = 3, all = none + stepCount, mirelle = all + 1;
    std::vector<Program> programs(mirelle + 1);
    std::vector<std::string> paths;
    paths.reserve(programs.size());
    SetProgram(&programs[0], minimalPath);
    SetProgramBesideThis(&programs[1], &paths, "minimal_dialog_shell32.exe");
    SetProgramBesideThis(&programs[2], &paths, "minimal_dialog_main_window.exe");
    SetProgramBesideThis(&programs[none], &paths, "startup_steps.exe");
    for (int i = 0; i < stepCount; ++i) {
        SetProgram(&programs[none + 1 + i], paths.back().c_str(), steps[i]);
    }
    SetProgram(&programs[mirelle], mirellePath);
    std::vector<Comparison> comparisons = {
        { "+ SHELL32 imported", 1, 0, {} },
        { "Mirelle's main window and resources instead of the one button", 2, 0, {} },
        { "+ Mirelle's code and imports, none of its start-up steps", none, 2, {} },
        { "+ RestrictDllSearchToSystem32 (and the DLLs it loads)", none + 1, none, {} },
        { "+ version record (VERSION.dll from System32)", none + 2, none, {} },
        { "+ LoadSettings (registry read)", none + 3, none, {} },
        { "+ the start's turn and the look for another instance", none + 4, none, {} },
        { "+ icons at the system's sizes", none + 5, none, {} },
        { "+ status line and check box", none + 6, none, {} },
        { "+ StartSessionWatch (WTSAPI32)", none + 7, none, {} },
        { "+ StartHookWatchdog (raw input)", none + 8, none, {} },
        { "+ StartVolumeHook (low-level hook)", none + 9, none, {} },
        { "+ AttachTrayButton", none + 10, none, {} },
        { "+ every step above", all, none, {} },
        { "Mirelle itself", mirelle, all, {} },
    };
    const char* labels[] = { "the minimal dialog", "", "Mirelle's main window", "none of the steps" };

    for (Program& program : programs) {
        if (!MeasureOneStart(&program, Record::Nothing)) {
            return false;
        }
    }
    // Each comparison is a pair of neighbouring starts; the pairs of a round
    // come in rotating order, and which of a pair goes first alternates.
    int count = static_cast<int>(comparisons.size());
    for (int round = 0; round < rounds; ++round) {
        Record record = round >= rounds - 3 ? Record::TimeAndMemoryKinds : Record::Time;
        for (int slot = 0; slot < count; ++slot) {
            Comparison& comparison = comparisons[(round + slot) % count];
            Program* upper = &programs[comparison.program];
            Program* lower = &programs[comparison.below];
            bool upperFirst = (round + slot) % 2 == 0;
            if (!MeasureOneStart(upperFirst ? upper : lower, record)
                || !MeasureOneStart(upperFirst ? lower : upper, record)) {
                return false;
            }
            comparison.milliseconds.push_back((upper->seconds.back() - lower->seconds.back()) * 1000.0);
        }
    }

    double unit = Median(programs[0].seconds) * 1000.0;
    char figure[200], mine[96], reference[120], result[400];
    std::snprintf(figure, sizeof figure,
                  "Start-up, one step at a time (%d rounds of one pair of neighbouring starts per step, in rotating "
                  "order): the minimal dialog", rounds);
    std::snprintf(mine, sizeof mine, "%.0f ms, %.0f KiB", unit, Median(programs[0].privateBytes) / 1024.0);
    PrintRow(figure, mine, "", "the unit of the costs below");
    for (const Comparison& comparison : comparisons) {
        const Program& program = programs[comparison.program];
        const Program& below = programs[comparison.below];
        std::snprintf(figure, sizeof figure, "Start-up, one step at a time: %s", comparison.label);
        std::snprintf(mine, sizeof mine, "%.0f ms, %.0f KiB", Median(program.seconds) * 1000.0,
                      Median(program.privateBytes) / 1024.0);
        std::snprintf(reference, sizeof reference, "after %s",
                      comparison.below <= none ? labels[comparison.below] : "every step");
        char spread[80];
        FormatSpread(spread, sizeof spread, comparison.milliseconds, 1.0, 1, " ms");
        std::vector<MemoryKinds> difference;
        for (size_t i = 0; i < program.memoryKinds.size() && i < below.memoryKinds.size(); ++i) {
            difference.push_back(Difference(program.memoryKinds[i], below.memoryKinds[i]));
        }
        char kinds[200] = "";
        if (!difference.empty()) {
            FormatKinds(kinds, sizeof kinds, difference, true);
        }
        std::snprintf(result, sizeof result, "%s = %+.3f of the minimal dialog's start-up; %+.0f KiB (%s)", spread,
                      Median(comparison.milliseconds) / unit,
                      (Median(program.privateBytes) - Median(below.privateBytes)) / 1024.0, kinds);
        PrintRow(figure, mine, reference, result);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    char mirellePath[MAX_PATH], minimalPath[MAX_PATH];
    if (!TakeProgramPaths(argc, argv, mirellePath, minimalPath,
                          "startup_benchmark --mirelle=<path> --minimal=<path> [--pairs=<n>] "
                          "[--steps [--rounds=<n>]]")) {
        return 2;
    }
    int pairs = TakeIntArgument(argc, argv, "--pairs", 100);
    pairs = pairs < 5 ? 5 : pairs;

    Program mirelle = {}, minimal = {};
    SetProgram(&mirelle, mirellePath);
    SetProgram(&minimal, minimalPath);
    if (!MeasurePairs(&mirelle, &minimal, pairs) || !PrintMemory(mirelle, minimal)) {
        return 1;
    }
    if (HasArgument(argc, argv, "--steps")) {
        int rounds = TakeIntArgument(argc, argv, "--rounds", 30);
        if (!MeasureSteps(minimalPath, mirellePath, rounds < 1 ? 1 : rounds)) {
            return 1;
        }
    }
    return 0;
}
