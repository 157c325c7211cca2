// Takes the README's pictures: starts the real mirelle.exe on the (virtual)
// display, opens its dialogs the way a user does, and saves what the screen
// shows of each as a 24-bit BMP in the given folder: main-window, set-keys,
// set-keys-question and about; then the main window alone at 150 % display
// scaling, main-window-150.
//   screenshot_driver.exe --mirelle=<path> --out=<folder>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "resource.h"
#include "tests/support/mirelle_process.h"
#include "tests/support/user_input.h"

namespace {

void ParkMouse()
{
    MoveMouseTo(0, 0);
    Sleep(200);
}

// A click, then time for the program to take the focus or open a window.
void ClickAndSettle(HWND control)
{
    ClickControl(control);
    Sleep(200);
}

// Saves the screen inside `area` as a bottom-up 24-bit BMP.
bool SaveScreen(RECT area, const char* folder, const char* name)
{
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    DWORD stride = ((width * 3 + 3) / 4) * 4;
    DWORD size = stride * height;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + size;
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s\\%s", folder, name);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    bool saved = false;
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        saved = WriteFile(file, &header, sizeof header, &written, NULL)
                && WriteFile(file, &info.bmiHeader, sizeof info.bmiHeader, &written, NULL)
                && WriteFile(file, bits, size, &written, NULL);
        CloseHandle(file);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    std::printf("%s %s\n", saved ? "saved" : "could not save", path);
    return saved;
}

RECT WindowArea(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return r;
}

// A key pressed with Control and Shift held, as a person types it.
void PressWithControlShift(BYTE vk)
{
    SendKey(VK_CONTROL, false);
    SendKey(VK_SHIFT, false);
    Tap(vk);
    SendKey(VK_SHIFT, true);
    SendKey(VK_CONTROL, true);
}

// Waits up to two seconds for a capture field to show the key's name.
bool WaitForText(HWND dialog, int field, const char* text)
{
    for (int i = 0; i < 40; ++i) {
        if (ControlText(dialog, field) == text) {
            return true;
        }
        Sleep(50);
    }
    std::printf("field %d shows \"%s\", not \"%s\"\n", field, ControlText(dialog, field).c_str(), text);
    return false;
}

HWND OwnedBox(DWORD processId, HWND owner)
{
    for (int i = 0; i < 100; ++i) {
        HWND box = FindProcessDialog(processId, "Set Keys", 0);
        while (box != NULL && GetWindow(box, GW_OWNER) != owner) {
            box = FindWindowExA(NULL, box, "#32770", "Set Keys");
        }
        if (box != NULL) {
            return box;
        }
        Sleep(50);
    }
    return NULL;
}

} // namespace

int main(int argc, char** argv)
{
    char folder[MAX_PATH] = ".";
    TakeMirellePathArgument(argc, argv);
    TakePathArgument(argc, argv, "--out", folder, MAX_PATH);

    RemoveSettingsKey();
    MirelleProcess mirelle = {};
    if (!StartMirelle(&mirelle, SW_SHOWNORMAL)) {
        std::printf("mirelle.exe did not start\n");
        return 1;
    }
    DWORD pid = mirelle.info.dwProcessId;
    SetForegroundWindow(mirelle.mainWindow);
    ParkMouse();
    Sleep(700);
    bool ok = SaveScreen(WindowArea(mirelle.mainWindow), folder, "main-window.bmp");

    // Set Keys with three captured keys, then, on OK, the question that a
    // function key brings up, in a picture of its own.
    ClickAndSettle(GetDlgItem(mirelle.mainWindow, IDC_MAIN_SET_KEYS));
    HWND setKeys = FindProcessDialog(pid, "Set Keys", 5000);
    if (setKeys != NULL) {
        const struct { int field; BYTE vk; const char* name; } picks[] = {
            { IDC_SETKEYS_MUTE, VK_F7, "Control+Shift+F7" },
            { IDC_SETKEYS_LOWER, VK_F8, "Control+Shift+F8" },
            { IDC_SETKEYS_RAISE, VK_F9, "Control+Shift+F9" },
        };
        for (const auto& pick : picks) {
            ClickAndSettle(GetDlgItem(setKeys, pick.field));
            PressWithControlShift(pick.vk);
            ok = WaitForText(setKeys, pick.field, pick.name) && ok;
        }
        ParkMouse();
        Sleep(500);
        ok = SaveScreen(WindowArea(setKeys), folder, "set-keys.bmp") && ok;
        ClickAndSettle(GetDlgItem(setKeys, IDOK));
        HWND box = OwnedBox(pid, setKeys);
        if (box != NULL) {
            ParkMouse();
            Sleep(500);
            ok = SaveScreen(WindowArea(box), folder, "set-keys-question.bmp") && ok;
            ClickAndSettle(GetDlgItem(box, IDNO));
        } else {
            ok = false;
        }
        ClickAndSettle(GetDlgItem(setKeys, IDCANCEL));
    } else {
        ok = false;
    }

    ClickAndSettle(GetDlgItem(mirelle.mainWindow, IDC_MAIN_ABOUT));
    HWND about = FindProcessDialog(pid, "About Mirelle", 5000);
    if (about != NULL) {
        ParkMouse();
        Sleep(500);
        ok = SaveScreen(WindowArea(about), folder, "about.bmp") && ok;
        ClickAndSettle(GetDlgItem(about, IDOK));
    } else {
        ok = false;
    }

    StopMirelle(&mirelle);

    // The main window once more, at 150 % display scaling.
    if (StartMirelleAtDpi(&mirelle, 144, SW_SHOWNORMAL)) {
        SetForegroundWindow(mirelle.mainWindow);
        ParkMouse();
        Sleep(700);
        ok = SaveScreen(WindowArea(mirelle.mainWindow), folder, "main-window-150.bmp") && ok;
        StopMirelle(&mirelle);
    } else {
        ok = false;
    }
    RemoveSettingsKey();
    return ok ? 0 : 1;
}
