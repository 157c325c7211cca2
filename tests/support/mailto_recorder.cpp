// Stands in for the user's mail program: the test registers it as the handler
// of mailto: links, and it appends the command line it was started with to
// the file named by MIRELLE_MAILTO_LOG, one line per start.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("MIRELLE_MAILTO_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 2;
    }
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 3;
    }
    const char* commandLine = GetCommandLineA();
    DWORD written = 0;
    WriteFile(file, commandLine, lstrlenA(commandLine), &written, NULL);
    WriteFile(file, "\r\n", 2, &written, NULL);
    CloseHandle(file);
    return 0;
}
