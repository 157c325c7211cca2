// The notification icon's own image: a copy of the window's icon at the size
// of a small icon on the main display.  The notification area sits on the
// main display and draws at that display's scale as it is now, while
// GetSystemMetrics keeps answering for the scale it had when the user signed
// in; an icon of that size would be stretched by the shell once the scale
// changes.
#include "traybutton_internal.h"

namespace {

typedef int(WINAPI* GetSystemMetricsForDpiFunction)(int, UINT);
typedef HRESULT(WINAPI* GetDpiForMonitorFunction)(HMONITOR, int, UINT*, UINT*);
const int EffectiveDpi = 0; // MDT_EFFECTIVE_DPI: the scale the user chose for the display

template <typename Function>
Function FindFunction(HMODULE module, const char* name)
{
    FARPROC function = module != NULL ? GetProcAddress(module, name) : NULL;
    // Through void (*)(), the compiler's "any function".
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(function));
}

// The main display's scale now, in dots per inch; 0 where the system cannot
// tell (before Windows 8.1).  shcore.dll is not one of Windows' KnownDLLs,
// so it is loaded by its full path in the system folder, never from the
// program's own.
UINT GetMainDisplayDpi()
{
    const char name[] = "\\shcore.dll";
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + sizeof(name) > MAX_PATH) {
        return 0;
    }
    lstrcpynA(path + length, name, static_cast<int>(MAX_PATH - length));
    HMODULE shcore = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    GetDpiForMonitorFunction getDpiForMonitor = FindFunction<GetDpiForMonitorFunction>(shcore, "GetDpiForMonitor");
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (getDpiForMonitor != NULL) {
        // The main display is the one whose top-left corner is the origin.
        POINT origin = {0, 0};
        if (FAILED(getDpiForMonitor(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), EffectiveDpi, &dpiX, &dpiY))) {
            dpiX = 0;
        }
    }
    if (shcore != NULL) {
        FreeLibrary(shcore);
    }
    return dpiX;
}

SIZE GetTrayIconSize()
{
    SIZE size = {GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)};
    // Windows 10 1607 and later; before it, the scale at sign-in is all the
    // system metrics know.
    GetSystemMetricsForDpiFunction forDpi =
        FindFunction<GetSystemMetricsForDpiFunction>(GetModuleHandleA("user32.dll"), "GetSystemMetricsForDpi");
    UINT dpi = forDpi != NULL ? GetMainDisplayDpi() : 0;
    if (dpi != 0 && forDpi(SM_CXSMICON, dpi) > 0 && forDpi(SM_CYSMICON, dpi) > 0) {
        size.cx = forDpi(SM_CXSMICON, dpi);
        size.cy = forDpi(SM_CYSMICON, dpi);
    }
    return size;
}

// The height of an icon's image in pixels; 0 when it cannot be read.
int GetIconHeight(HICON icon)
{
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) {
        return 0;
    }
    BITMAP bitmap = {};
    int height = 0;
    if (info.hbmColor != NULL && GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap) != 0) {
        height = bitmap.bmHeight;
    } else if (info.hbmMask != NULL && GetObjectA(info.hbmMask, sizeof(bitmap), &bitmap) != 0) {
        // A monochrome icon's mask holds its two masks one above the other.
        height = bitmap.bmHeight / 2;
    }
    if (info.hbmColor != NULL) {
        DeleteObject(info.hbmColor);
    }
    if (info.hbmMask != NULL) {
        DeleteObject(info.hbmMask);
    }
    return height;
}

// The image drawn for the given size in the resource that the icon came
// from, as a new icon; null when it came from none (made from pixels, or a
// copy) or its module is no longer loaded.  CopyImage cannot be asked for
// this: it goes back to the resource only for an icon loaded shared, and a
// program's own icons are not, since they have sizes of their own and are
// destroyed.
HICON LoadIconFromItsResource(HICON icon, SIZE size)
{
    ICONINFOEXA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    if (!GetIconInfoExA(icon, &info)) {
        return NULL;
    }
    // The bitmaps are copies made for the caller.
    if (info.hbmColor != NULL) {
        DeleteObject(info.hbmColor);
    }
    if (info.hbmMask != NULL) {
        DeleteObject(info.hbmMask);
    }
    // The module is the program itself or a DLL that it has loaded; its
    // handle is only looked up, so there is nothing to free.  A path that the
    // ANSI code page cannot spell finds none, and the pixels are scaled.
    HMODULE module = info.szModName[0] != '\0' ? GetModuleHandleA(info.szModName) : NULL;
    if (module == NULL || (info.wResID == 0 && info.szResName[0] == '\0')) {
        return NULL;
    }
    const char* name = info.wResID != 0 ? MAKEINTRESOURCEA(info.wResID) : info.szResName;
    return static_cast<HICON>(LoadImageA(module, name, IMAGE_ICON, size.cx, size.cy, LR_DEFAULTCOLOR));
}

} // namespace

HICON GetWindowIcon(HWND window)
{
    HICON icon = reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
    return icon != NULL ? icon : reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_BIG, 0));
}

HICON CopyIconForTray(HWND window)
{
    HICON small = reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
    HICON big = reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_BIG, 0));
    HICON source = small != NULL ? small : big;
    if (source == NULL) {
        return NULL;
    }
    SIZE size = GetTrayIconSize();
    // An icon that came from a resource is made again from the image there
    // that fits best, however it was loaded.
    HICON copy = LoadIconFromItsResource(source, size);
    if (copy != NULL) {
        return copy;
    }
    // Otherwise its pixels are scaled; a smaller image loses less than a
    // blown-up one, so a small icon that is too small gives way to the big
    // one.
    if (source == small && big != NULL && GetIconHeight(small) < size.cy) {
        source = big;
    }
    return static_cast<HICON>(CopyImage(source, IMAGE_ICON, size.cx, size.cy, 0));
}
