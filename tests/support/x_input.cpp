#include "tests/support/x_input.h"

#include <cstdio>
#include <cstdlib>

#include "tests/support/message_pump.h"

bool StartXdotool(const char* arguments, XdotoolRun* run)
{
    // Wine starts a Unix program given by its Unix path, with this process's
    // display, but hands back no process handle to wait on: the shell leaves
    // xdotool's exit status in a file when it is done.
    static int runs = 0;
    char done[128];
    std::snprintf(done, sizeof done, "/tmp/mirelle-xdotool-%lu-%d", GetCurrentProcessId(), ++runs);
    char commandLine[4096];
    std::snprintf(commandLine, sizeof commandLine,
                  "/bin/sh -c \"/usr/bin/xdotool %s; echo $? >%s.part && mv %s.part %s\"", arguments, done, done,
                  done);
    std::snprintf(run->doneFile, sizeof run->doneFile, "Z:%s", done);
    for (char* c = run->doneFile; *c != '\0'; ++c) {
        if (*c == '/') {
            *c = '\\';
        }
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        return false;
    }
    if (process.hThread != NULL) {
        CloseHandle(process.hThread);
    }
    if (process.hProcess != NULL) {
        CloseHandle(process.hProcess);
    }
    return true;
}

bool XdotoolEnded(XdotoolRun* run, bool* succeeded)
{
    if (GetFileAttributesA(run->doneFile) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    char status[16] = "";
    FILE* file = std::fopen(run->doneFile, "r");
    if (file != NULL) {
        if (std::fgets(status, sizeof status, file) == NULL) {
            status[0] = '\0';
        }
        std::fclose(file);
    }
    DeleteFileA(run->doneFile);
    *succeeded = status[0] == '0' && std::atoi(status) == 0;
    return true;
}

bool RunXdotool(const char* arguments)
{
    XdotoolRun run;
    if (!StartXdotool(arguments, &run)) {
        return false;
    }
    bool succeeded = false;
    bool ended = PumpUntil([&] { return XdotoolEnded(&run, &succeeded); }, 20000);
    // The keys' own messages may still be on their way.
    PumpPendingMessages();
    return ended && succeeded;
}
