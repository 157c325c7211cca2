// Nothing but Windows' own code runs inside mirelle.exe, whatever folder it
// is started from: its imports, its PE flags, and DLLs planted beside it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "resource.h"
#include "tests/support/message_pump.h"
#include "tests/support/mirelle_process.h"
#include "tests/support/running_program_test.h"

namespace {

char PlantedDllPath[MAX_PATH] = "";

// Not KnownDLLs, so Windows looks for them in the program's folder first, and
// loaded while the program runs; comctl32 comes through the manifest.
const char* const PlantedNames[] = { "version", "wtsapi32", "uxtheme", "msimg32", "comctl32" };
const char WineOverridesKey[] = "Software\\Wine\\AppDefaults\\mirelle.exe\\DllOverrides";

// The program's file mapped as an image, neither run nor bound, and the DLLs
// of its import table in upper case, each followed by a space.
const IMAGE_NT_HEADERS* MapProgram(std::string* imports)
{
    ULONG_PTR image = reinterpret_cast<ULONG_PTR>(LoadLibraryExA(MirellePath(), NULL, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    const BYTE* base = reinterpret_cast<const BYTE*>(image & ~static_cast<ULONG_PTR>(3));
    if (image == 0) {
        return nullptr;
    }
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    DWORD at = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + at); at != 0 && import->Name != 0;
         ++import) {
        *imports += std::string(reinterpret_cast<const char*>(base + import->Name)) + " ";
    }
    CharUpperBuffA(&(*imports)[0], static_cast<DWORD>(imports->size()));
    return nt;
}

class DllLoadingTest : public RunningProgramTest {
protected:
    void TearDown() override
    {
        RunningProgramTest::TearDown();
        RegDeleteKeyA(HKEY_CURRENT_USER, WineOverridesKey);
        for (const char* name : PlantedNames) {
            DeleteFileA((folder_ + name + ".dll").c_str());
            DeleteFileA((folder_ + name + ".dll.loaded").c_str());
        }
        DeleteFileA((folder_ + "mirelle.exe").c_str());
    }

    void UseDialog(int command, const char* title, int closeId)
    {
        PostMessageA(mirelle_.mainWindow, WM_COMMAND, command, 0);
        HWND dialog = FindProcessDialog(mirelle_.info.dwProcessId, title, 30000);
        PostMessageA(dialog, WM_COMMAND, closeId, 0);
        EXPECT_TRUE(dialog != NULL && PumpUntil([&] { return !IsWindow(dialog); }, 30000)) << title;
    }

    std::string folder_;
};

} // namespace

TEST_F(DllLoadingTest, ImportsOnlyKnownDllsAndKeepsItsProtections)
{
    // KnownDLLs, which Windows takes from its own folder alone, and the common
    // controls, which the manifest takes from the assembly store.
    const std::string allowed = " ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL ";
    std::string imports;
    const IMAGE_NT_HEADERS* nt = MapProgram(&imports);
    ASSERT_TRUE(nt != nullptr && !imports.empty());
    for (size_t start = 0, end; (end = imports.find(' ', start)) != std::string::npos; start = end + 1) {
        std::string name = imports.substr(start, end - start);
        EXPECT_TRUE(allowed.find(" " + name + " ") != std::string::npos) << name << " is looked for beside the program";
    }
    WORD flags = nt->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_EQ(sizeof(void*) == 8, (flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA) != 0);
    EXPECT_NE(0u, nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size);
}

// Wine's own user32 imports version.dll, and its common controls load
// uxtheme.dll by name while the process starts; Windows' do neither.  The
// stand-ins tell those loads from the ones the program brings about.
TEST_F(DllLoadingTest, DllsPlantedBesideTheProgramAreNotLoadedForIt)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "mirelle-planted\\";
    CreateDirectoryA(folder_.c_str(), NULL);
    ASSERT_TRUE(CopyFileA(MirellePath(), (folder_ + "mirelle.exe").c_str(), FALSE));
    HKEY overrides;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, WineOverridesKey, 0, NULL, 0, KEY_WRITE, NULL,
                                             &overrides, NULL));
    for (const char* name : PlantedNames) {
        ASSERT_TRUE(CopyFileA(PlantedDllPath, (folder_ + name + ".dll").c_str(), FALSE)) << PlantedDllPath;
        // Native first: Wine then looks in the program's folder, as Windows does.
        RegSetValueExA(overrides, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"), 15);
    }
    RegCloseKey(overrides);

    ASSERT_TRUE(StartMirelle(&mirelle_, SW_SHOWNORMAL, (folder_ + "mirelle.exe").c_str()));
    UseDialog(IDC_MAIN_SET_KEYS, "Set Keys", IDCANCEL);
    UseDialog(IDC_MAIN_ABOUT, "About Mirelle", IDOK);
    ClickButton(mirelle_.mainWindow, IDC_MAIN_TRAY_MINIMIZE);
    ClickButton(mirelle_.mainWindow, IDC_MAIN_TRAY_MINIMIZE);
    ClickButton(mirelle_.mainWindow, IDOK);
    EXPECT_EQ(0u, WaitForExit(&mirelle_, 30000));

    std::string imports;
    MapProgram(&imports);
    for (const char* name : PlantedNames) {
        char loads[256] = "";
        DWORD read = 0;
        HANDLE marker = CreateFileA((folder_ + name + ".dll.loaded").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                                    0, NULL);
        ReadFile(marker, loads, sizeof loads - 1, &read, NULL);
        CloseHandle(marker);
        std::string dll = name + std::string(".DLL ");
        CharUpperBuffA(&dll[0], static_cast<DWORD>(dll.size()));
        bool imported = std::strstr(loads, "import") != nullptr && imports.find(dll) != std::string::npos;
        EXPECT_FALSE(imported || std::strstr(loads, "running") != nullptr) << name << ".dll loaded: " << loads;
    }
}

int main(int argc, char** argv)
{
    TakeMirellePathArgument(argc, argv);
    TakePathArgument(argc, argv, "--planted-dll", PlantedDllPath, MAX_PATH);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
