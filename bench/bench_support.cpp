#include "bench/bench_support.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/message_pump.h"

namespace {

const DWORD VisibleTimeoutMs = 20000;
const DWORD ExitTimeoutMs = 10000;

void CloseProgramHandles(DialogProgram* program)
{
    CloseHandle(program->info.hThread);
    CloseHandle(program->info.hProcess);
    std::memset(&program->info, 0, sizeof program->info);
    program->window = NULL;
}

const char* FindArgument(int argc, char** argv, const char* name)
{
    size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') {
            return argv[i] + length + 1;
        }
    }
    return NULL;
}

} // namespace

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&frequency);
    }
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

double Percentile(std::vector<double> values, double percent)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    size_t rank = static_cast<size_t>(std::ceil(percent / 100.0 * static_cast<double>(values.size())));
    if (rank < 1) {
        rank = 1;
    }
    return values[std::min(rank, values.size()) - 1];
}

int TakeIntArgument(int argc, char** argv, const char* name, int fallback)
{
    const char* value = FindArgument(argc, argv, name);
    return value != NULL ? std::atoi(value) : fallback;
}

bool TakeProgramPaths(int argc, char** argv, char* mirelle, char* minimal, const char* usage)
{
    if (TakePathArgument(argc, argv, "--mirelle", mirelle, MAX_PATH)
        && TakePathArgument(argc, argv, "--minimal", minimal, MAX_PATH)) {
        return true;
    }
    PrintError("usage: %s", usage);
    return false;
}

bool HasArgument(int argc, char** argv, const char* name)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return true;
        }
    }
    return false;
}

double StartDialogProgram(DialogProgram* program, const char* commandLine)
{
    std::memset(program, 0, sizeof *program);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    char line[MAX_PATH + 200];
    lstrcpynA(line, commandLine, sizeof line);

    double start = Now();
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &program->info)) {
        PrintError("could not start %s, error %lu", commandLine, GetLastError());
        return -1.0;
    }
    // The program's thread first waits for input once its window is shown
    // and its first messages are handled.  WaitForInputIdle sleeps until
    // then, so this process takes no time from the start it measures; only
    // should the window not yet be visible then is it polled for.
    WaitForInputIdle(program->info.hProcess, VisibleTimeoutMs);
    for (;;) {
        double now = Now();
        HWND window = FindProcessDialog(program->info.dwProcessId, NULL, 0);
        if (window != NULL) {
            program->window = window;
            return now - start;
        }
        if (PumpUntilSignalled(program->info.hProcess, 1)) {
            DWORD code = 0;
            GetExitCodeProcess(program->info.hProcess, &code);
            PrintError("%s ended with code %lu before its window showed", commandLine, code);
            CloseProgramHandles(program);
            return -1.0;
        }
        if ((now - start) * 1000.0 > VisibleTimeoutMs) {
            PrintError("%s showed no visible dialog window within %lu ms", commandLine, VisibleTimeoutMs);
            TerminateProcess(program->info.hProcess, 99);
            WaitForSingleObject(program->info.hProcess, ExitTimeoutMs);
            CloseProgramHandles(program);
            return -1.0;
        }
    }
}

bool StopDialogProgram(DialogProgram* program)
{
    if (program->info.hProcess == NULL) {
        return true;
    }
    PostMessageA(program->window, WM_COMMAND, IDOK, 0);
    bool ended = PumpUntilSignalled(program->info.hProcess, ExitTimeoutMs);
    if (!ended) {
        PrintError("the program did not end within %lu ms after Exit; killed", ExitTimeoutMs);
        TerminateProcess(program->info.hProcess, 99);
        WaitForSingleObject(program->info.hProcess, ExitTimeoutMs);
    } else {
        DWORD code = 0;
        GetExitCodeProcess(program->info.hProcess, &code);
        if (code != 0) {
            PrintError("the program ended with code %lu after Exit", code);
            ended = false;
        }
    }
    CloseProgramHandles(program);
    return ended;
}

bool MirelleIsOpen()
{
    if (FindWindowA("#32770", "Mirelle") == NULL) {
        return false;
    }
    PrintError("a Mirelle window is already open on this desktop; close it first");
    return true;
}

void PrintRow(const char* figure, const char* mirelle, const char* reference, const char* result)
{
    std::printf("| %s | %s | %s | %s |\n", figure, mirelle, reference, result);
    std::fflush(stdout);
}

void PrintError(const char* format, ...)
{
    std::printf("error: ");
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::printf("\n");
    std::fflush(stdout);
}
