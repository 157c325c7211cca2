// A DLL planted beside the program under test under the name of a system
// DLL, as one may lie in a Downloads folder.  Each load adds a word to the
// file "<its own path>.loaded": "import" for a load with the program's
// imports, "running" once the program has its main window, "starting" before
// that (by a system DLL on its own, as Wine's common controls do while the
// process starts).  It hands the functions that the program, or Wine's user32, may
// import from the DLLs it stands in for on to the system's own copy, so that
// a program that loads it runs on as usual.
#include <windows.h>

namespace {

HMODULE Self = NULL;

FARPROC SystemFunction(const char* function)
{
    char own[MAX_PATH];
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(Self, own, MAX_PATH);
    const char* name = own;
    for (DWORD i = 0; i < length; ++i) {
        name = own[i] == '\\' ? own + i + 1 : name;
    }
    UINT directory = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || directory == 0 || directory + 1 + lstrlenA(name) >= MAX_PATH) {
        return NULL;
    }
    lstrcatA(lstrcatA(path, "\\"), name);
    HMODULE system = LoadLibraryA(path);
    return system != NULL ? GetProcAddress(system, function) : NULL;
}

} // namespace

// Each export calls the system's function of the same name; a missing one
// answers 0.  (Through void (*)(), the compiler's "any function".)
#define FORWARD(Result, Name, Parameters, Arguments)                                                             \
    extern "C" __declspec(dllexport) Result WINAPI Name Parameters                                               \
    {                                                                                                            \
        auto real = reinterpret_cast<Result(WINAPI*) Parameters>(reinterpret_cast<void (*)()>(SystemFunction(#Name))); \
        return real != NULL ? real Arguments : 0;                                                                \
    }

FORWARD(DWORD, GetFileVersionInfoSizeA, (LPCSTR file, LPDWORD handle), (file, handle))
FORWARD(BOOL, GetFileVersionInfoA, (LPCSTR file, DWORD handle, DWORD size, LPVOID data), (file, handle, size, data))
FORWARD(BOOL, VerQueryValueA, (LPCVOID block, LPCSTR part, LPVOID* value, PUINT size), (block, part, value, size))
FORWARD(DWORD, GetFileVersionInfoSizeW, (LPCWSTR file, LPDWORD handle), (file, handle))
FORWARD(BOOL, GetFileVersionInfoW, (LPCWSTR file, DWORD handle, DWORD size, LPVOID data), (file, handle, size, data))
FORWARD(BOOL, VerQueryValueW, (LPCVOID block, LPCWSTR part, LPVOID* value, PUINT size), (block, part, value, size))
FORWARD(BOOL, WTSRegisterSessionNotification, (HWND window, DWORD flags), (window, flags))
FORWARD(BOOL, WTSUnRegisterSessionNotification, (HWND window), (window))

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    char marker[MAX_PATH + 8];
    DWORD length = GetModuleFileNameA(self, marker, MAX_PATH);
    if (reason != DLL_PROCESS_ATTACH || length == 0 || length >= MAX_PATH) {
        return TRUE;
    }
    Self = self;
    // The loader passes a non-null context for the loads of imports, which
    // may come before user32 is ready.
    DWORD process = 0;
    if (reserved == NULL) {
        GetWindowThreadProcessId(FindWindowA("#32770", "Mirelle"), &process);
    }
    const char* word = reserved != NULL ? "import " : process == GetCurrentProcessId() ? "running " : "starting ";
    HANDLE file = CreateFileA(lstrcatA(marker, ".loaded"), FILE_APPEND_DATA, 0, NULL, OPEN_ALWAYS, 0, NULL);
    DWORD written = 0;
    WriteFile(file, word, lstrlenA(word), &written, NULL);
    CloseHandle(file);
    return TRUE;
}
