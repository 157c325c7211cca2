#include "tests/support/mirelle_process.h"

#include <cstring>

const char TestSettingsKey[] = "Software\\Quorvath{7C1E52D0-93AB-4F6E-A2D4-0B8C5E19F3A7}\\Mirelle";

namespace {

const char VendorKey[] = "Software\\Quorvath{7C1E52D0-93AB-4F6E-A2D4-0B8C5E19F3A7}";

char ProgramPath[MAX_PATH] = "mirelle.exe";

struct DialogSearch {
    DWORD processId;
    const char* title;
    bool mustBeVisible;
    HWND found;
};

BOOL CALLBACK FindDialogProc(HWND window, LPARAM parameter)
{
    DialogSearch* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) {
        return TRUE;
    }
    char windowClass[64];
    char title[256];
    GetClassNameA(window, windowClass, sizeof windowClass);
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(windowClass, "#32770") == 0 && (search->title == NULL || std::strcmp(title, search->title) == 0)
        && (!search->mustBeVisible || IsWindowVisible(window))) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

void WindowsPathOf(const char* path, char* out, int capacity)
{
    if (path[0] == '/' && capacity > 2) {
        // Wine maps the Unix root to drive Z:.
        lstrcpynA(out, "Z:", capacity);
        lstrcpynA(out + 2, path, capacity - 2);
        for (char* c = out; *c != '\0'; ++c) {
            if (*c == '/') {
                *c = '\\';
            }
        }
    } else {
        lstrcpynA(out, path, capacity);
    }
}

void SetMirellePath(const char* path)
{
    WindowsPathOf(path, ProgramPath, sizeof ProgramPath);
}

const char* MirellePath()
{
    return ProgramPath;
}

bool TakePathArgument(int argc, char** argv, const char* name, char* out, int capacity)
{
    size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') {
            WindowsPathOf(argv[i] + length + 1, out, capacity);
            return true;
        }
    }
    return false;
}

void TakeMirellePathArgument(int argc, char** argv)
{
    TakePathArgument(argc, argv, "--mirelle", ProgramPath, sizeof ProgramPath);
}

HWND FindProcessDialog(DWORD processId, const char* title, DWORD milliseconds, bool mustBeVisible)
{
    DWORD start = GetTickCount();
    for (;;) {
        DialogSearch search = { processId, title, mustBeVisible, NULL };
        EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&search));
        if (search.found != NULL || GetTickCount() - start >= milliseconds) {
            return search.found;
        }
        Sleep(20);
    }
}

bool CreateMirelleSuspended(MirelleProcess* process, int showCommand, const char* path)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (showCommand >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(showCommand);
    }
    char commandLine[MAX_PATH + 2];
    lstrcpynA(commandLine, path != NULL ? path : ProgramPath, MAX_PATH);
    process->mainWindow = NULL;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL, &startup,
                        &process->info)) {
        std::memset(&process->info, 0, sizeof process->info);
        return false;
    }
    return true;
}

bool StartMirelle(MirelleProcess* process, int showCommand, const char* path)
{
    if (!CreateMirelleSuspended(process, showCommand, path)) {
        return false;
    }
    ResumeThread(process->info.hThread);
    WaitForInputIdle(process->info.hProcess, 10000);
    process->mainWindow = FindProcessDialog(process->info.dwProcessId, "Mirelle", 10000, false);
    return process->mainWindow != NULL;
}

bool StartMirelleAtDpi(MirelleProcess* process, int dpi, int showCommand)
{
    HKEY desktop;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, &desktop,
                        NULL)
        != ERROR_SUCCESS) {
        return false;
    }
    DWORD before = 0, type = 0, size = sizeof before;
    bool had = RegQueryValueExA(desktop, "LogPixels", NULL, &type, reinterpret_cast<BYTE*>(&before), &size)
                   == ERROR_SUCCESS
               && type == REG_DWORD;
    DWORD value = static_cast<DWORD>(dpi);
    bool started = RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                  sizeof value)
                       == ERROR_SUCCESS
                   && StartMirelle(process, showCommand);
    if (had) {
        RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before), sizeof before);
    } else {
        RegDeleteValueA(desktop, "LogPixels");
    }
    RegCloseKey(desktop);
    return started;
}

DWORD WaitForExit(MirelleProcess* process, DWORD milliseconds)
{
    if (process->info.hProcess == NULL) {
        return STILL_ACTIVE;
    }
    WaitForSingleObject(process->info.hProcess, milliseconds);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process->info.hProcess, &code);
    return code;
}

DWORD RunSecondStart(int showCommand, DWORD milliseconds)
{
    MirelleProcess second = {};
    CreateMirelleSuspended(&second, showCommand);
    ResumeThread(second.info.hThread);
    DWORD code = WaitForExit(&second, milliseconds);
    StopMirelle(&second);
    return code;
}

void StopMirelle(MirelleProcess* process)
{
    if (process->info.hProcess == NULL) {
        return;
    }
    if (WaitForExit(process, 0) == STILL_ACTIVE && IsWindow(process->mainWindow)) {
        PostMessageA(process->mainWindow, WM_COMMAND, IDOK, 0);
    }
    if (WaitForExit(process, 5000) == STILL_ACTIVE) {
        TerminateProcess(process->info.hProcess, 99);
        WaitForSingleObject(process->info.hProcess, 5000);
    }
    CloseHandle(process->info.hThread);
    CloseHandle(process->info.hProcess);
    std::memset(&process->info, 0, sizeof process->info);
    process->mainWindow = NULL;
}

std::string WindowText(HWND window)
{
    char text[1024];
    LRESULT length = SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    if (length <= 0) {
        return std::string();
    }
    return std::string(text, static_cast<size_t>(length));
}

std::string ControlText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

std::string MessageBoxText(HWND box)
{
    return ControlText(box, 0xFFFF);
}

void ClickButton(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void RemoveSettingsKey()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, TestSettingsKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, VendorKey);
}

bool MakeSettingsUnsavable()
{
    // A volatile key cannot hold a non-volatile one, and the program creates
    // its key non-volatile: every save then fails with 1021.
    RemoveSettingsKey();
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, VendorKey, 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                        NULL) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    HKEY probe;
    LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, TestSettingsKey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                  NULL, &probe, NULL);
    if (result == ERROR_SUCCESS) {
        RegCloseKey(probe);
    }
    return result == ERROR_CHILD_MUST_BE_VOLATILE;
}

std::string SystemText(DWORD code)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, LANG_USER_DEFAULT, text,
                   sizeof text, NULL);
    return text;
}

bool WriteSettingsValue(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, TestSettingsKey, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL)
        != ERROR_SUCCESS) {
        return false;
    }
    LONG result = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool ReadSettingsValue(const char* name, DWORD* type, BYTE* data, DWORD* size)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, TestSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    LONG result = RegQueryValueExA(key, name, NULL, type, data, size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

std::string StoredKeysText(bool withType)
{
    BYTE data[64];
    DWORD type = 0, size = sizeof data;
    if (!ReadSettingsValue("VK", &type, data, &size)) {
        return "(none)";
    }
    std::string bytes;
    for (DWORD i = 0; i < size; ++i) {
        bytes += std::to_string(data[i]) + (i + 1 < size ? "," : "");
    }
    if (!withType) {
        return bytes;
    }
    return (type == REG_BINARY ? "binary:" : "other:") + bytes;
}
