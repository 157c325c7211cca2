// What the benchmark programs share: a clock, order statistics, their
// arguments, starting a dialog program and timing it until it is ready, and
// the rows of the one table that scripts/bench.sh prints.
#ifndef MIRELLE_BENCH_SUPPORT_H
#define MIRELLE_BENCH_SUPPORT_H

#include <windows.h>

#include <cstdio>
#include <vector>

// Paths from the command line and finding a program's dialog come from the
// test helpers.
#include "tests/support/message_pump.h"
#include "tests/support/mirelle_process.h"

// Seconds on the performance counter, which every thread and process of the
// machine shares.
double Now();

double Median(std::vector<double> values);

// The nearest-rank percentile (0 < percent <= 100) of the values.
double Percentile(std::vector<double> values, double percent);

// Finds "<name>=<number>" in argv; `fallback` when it is absent.
int TakeIntArgument(int argc, char** argv, const char* name, int fallback);

// The paths of --mirelle=<path> and --minimal=<path> (MAX_PATH characters
// each), which the start-up and idle benchmarks compare; prints `usage` as a
// failure when either is missing.
bool TakeProgramPaths(int argc, char** argv, char* mirelle, char* minimal, const char* usage);

// Whether argv holds `name` as an argument of its own.
bool HasArgument(int argc, char** argv, const char* name);

// A dialog program started by a benchmark: its process and its main window.
struct DialogProgram {
    PROCESS_INFORMATION info;
    HWND window;
};

// Starts the program (a command line: path and arguments) shown normally and
// waits until it is ready for the user: its top-level "#32770" window is
// visible and its thread waits for input.  Returns the seconds from
// CreateProcess to that moment, or a negative number when the program could
// not start, ended early or was not ready within 20 s (it is then killed).
double StartDialogProgram(DialogProgram* program, const char* commandLine);

// Ends the program the way its user would (WM_COMMAND IDOK to its window) and
// waits for the process.  Kills it when it does not end within 10 s; returns
// whether it ended by itself with exit code 0.
bool StopDialogProgram(DialogProgram* program);

// Whether a Mirelle main window is open on this desktop, which would add its
// hook to what a benchmark measures, or refuse a start as a second instance;
// says so as a failure.
bool MirelleIsOpen();

// One row of the table: a figure, Mirelle's value, the reference beside it,
// and the comparison.  Texts are printed as they are.
void PrintRow(const char* figure, const char* mirelle, const char* reference, const char* result);

// A line that scripts/bench.sh shows as a failure.
void PrintError(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));

#endif
