// The resources as compiled into the program: every template bit, size, id
// and text that the dialogs rely on, the icon sizes and the version block.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstring>
#include <string>

#include "mirelle_version.h"
#include "resource.h"
#include "tests/support/dialog_template.h"

namespace {

struct ExpectedItem {
    WORD id;
    const char* windowClass;
    const char* text;
    DWORD style;
    short x, y, cx, cy;
};

void ExpectItems(const DialogTemplate& dialog, const ExpectedItem* expected, size_t count)
{
    ASSERT_EQ(count, dialog.items.size());
    for (size_t i = 0; i < count; ++i) {
        const DialogItemTemplate& item = dialog.items[i];
        SCOPED_TRACE(testing::Message() << "item " << i << " (" << expected[i].text << ")");
        EXPECT_EQ(expected[i].id, item.id);
        EXPECT_EQ(expected[i].windowClass, item.windowClass);
        EXPECT_EQ(expected[i].text, item.text);
        EXPECT_EQ(expected[i].style, item.style);
        EXPECT_EQ(0u, item.exStyle);
        EXPECT_EQ(expected[i].x, item.x);
        EXPECT_EQ(expected[i].y, item.y);
        EXPECT_EQ(expected[i].cx, item.cx);
        EXPECT_EQ(expected[i].cy, item.cy);
    }
}

void ExpectFrame(const DialogTemplate& dialog, DWORD style, short cx, short cy, const char* title)
{
    EXPECT_EQ(style, dialog.style);
    EXPECT_EQ(0u, dialog.exStyle);
    EXPECT_EQ(0, dialog.x);
    EXPECT_EQ(0, dialog.y);
    EXPECT_EQ(cx, dialog.cx);
    EXPECT_EQ(cy, dialog.cy);
    EXPECT_EQ(title, dialog.title);
    EXPECT_EQ("", dialog.menu);
    EXPECT_EQ("", dialog.windowClass);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ("MS Sans Serif", dialog.faceName);
}

} // namespace

TEST(Resources, MainWindowTemplate)
{
    DialogTemplate dialog;
    ASSERT_TRUE(ReadDialogTemplate(GetModuleHandleA(NULL), IDD_MAIN, &dialog));
    ExpectFrame(dialog, 0x80CB08C0, 221, 78, "Mirelle");
    EXPECT_EQ(0u, dialog.style & WS_VISIBLE);  // created hidden
    const ExpectedItem items[] = {
        { IDOK, "BUTTON", "Exit", 0x50010001, 165, 60, 50, 14 },
        { 1007, "BUTTON", "Minimize to Notification Icon", 0x50010003, 5, 46, 104, 10 },
        { 1004, "BUTTON", "Set Keys", 0x50010000, 5, 60, 50, 14 },
        { 1006, "BUTTON", "About", 0x50010000, 60, 60, 50, 14 },
        { 1005, "STATIC", "f", 0x50000000, 5, 4, 210, 35 },
    };
    ExpectItems(dialog, items, sizeof items / sizeof items[0]);
}

TEST(Resources, SetKeysTemplate)
{
    DialogTemplate dialog;
    ASSERT_TRUE(ReadDialogTemplate(GetModuleHandleA(NULL), IDD_SET_KEYS, &dialog));
    ExpectFrame(dialog, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 186, 100, "Set Keys");
    const DWORD label = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_CENTERIMAGE;
    const DWORD field = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_READONLY;
    const ExpectedItem items[] = {
        { IDOK, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 130, 80, 50, 14 },
        { IDCANCEL, "BUTTON", "Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 70, 80, 50, 14 },
        { 0xFFFF, "STATIC",
          "Pick keys to control WMP volume.  Don't pick any key you need to type for any other purpose.",
          WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 5, 5, 175, 16 },
        // Each field right after its label, which gives the field its name.
        { 0xFFFF, "STATIC", "Mute:", label, 5, 30, 19, 12 },
        { 1001, "EDIT", "", field, 35, 30, 145, 12 },
        { 0xFFFF, "STATIC", "Lower:", label, 5, 45, 22, 12 },
        { 1002, "EDIT", "", field, 35, 45, 145, 12 },
        { 0xFFFF, "STATIC", "Raise:", label, 5, 60, 21, 12 },
        { 1003, "EDIT", "", field, 35, 60, 145, 12 },
    };
    ExpectItems(dialog, items, sizeof items / sizeof items[0]);
}

TEST(Resources, AboutTemplate)
{
    DialogTemplate dialog;
    ASSERT_TRUE(ReadDialogTemplate(GetModuleHandleA(NULL), IDD_ABOUT, &dialog));
    ExpectFrame(dialog, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 180, 62, "About Mirelle");
    const DWORD line = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
    ASSERT_EQ(6u, dialog.items.size());
    const ExpectedItem fixed[] = {
        { IDOK, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 125, 45, 50, 14 },
        { 1008, "STATIC", "Mirelle v.%d.%d.%d.%d", line | SS_NOPREFIX, 5, 5, 130, 10 },
    };
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(fixed[i].id, dialog.items[i].id);
        EXPECT_EQ(fixed[i].text, dialog.items[i].text);
        EXPECT_EQ(fixed[i].style, dialog.items[i].style);
    }
    struct Place { WORD id; DWORD style; short x, y, cx, cy; } places[] = {
        { 1009, line, 5, 15, 80, 10 },
        { 1010, line, 5, 25, 68, 10 },
        { 1007, line | WS_TABSTOP | SS_NOTIFY, 5, 48, 111, 10 },
        { 1011, WS_CHILD | WS_VISIBLE | SS_BITMAP, 73, 25, 11, 10 },
    };
    for (size_t i = 0; i < 4; ++i) {
        const DialogItemTemplate& item = dialog.items[i + 2];
        EXPECT_EQ(places[i].id, item.id);
        EXPECT_EQ("STATIC", item.windowClass);
        EXPECT_EQ(places[i].style, item.style);
        EXPECT_EQ(places[i].x, item.x);
        EXPECT_EQ(places[i].cx, item.cx);
    }
    EXPECT_EQ("#139", dialog.items[5].text);  // the emblem, by resource ordinal

    // The address shown is the one the link opens.
    char url[256];
    ASSERT_GT(LoadStringA(GetModuleHandleA(NULL), IDS_CONTACT_URL, url, sizeof url), 0);
    EXPECT_EQ("mailto:" + dialog.items[4].text + "?subject=Mirelle", std::string(url));
    EXPECT_NE(std::string::npos, dialog.items[4].text.find("@example.org"));
}

TEST(Resources, IconHasAnImageDrawnForEveryDisplayScale)
{
    HRSRC resource = FindResourceA(NULL, MAKEINTRESOURCEA(IDI_MIRELLE), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(nullptr, resource);
    const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(NULL, resource)));
    WORD count;
    std::memcpy(&count, group + 4, 2);
    ASSERT_EQ(14, count);
    std::string found;
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = group + 6 + 14 * i;  // GRPICONDIRENTRY
        WORD bits;
        std::memcpy(&bits, entry + 6, 2);
        int size = entry[0] == 0 ? 256 : entry[0];
        found += std::to_string(size) + "x" + std::to_string(bits) + " ";
    }
    EXPECT_EQ("16x4 32x4 16x8 32x8 48x8 20x32 24x32 28x32 36x32 40x32 56x32 64x32 72x32 256x32 ", found);

    // The small and large icon sizes at 100, 125, 150, 175, 200 and 225 % and
    // the shell's largest: for each the system picks an image of exactly that
    // size, and the icon loads at it.
    for (int size : { 16, 20, 24, 28, 32, 36, 40, 48, 56, 64, 72, 256 }) {
        SCOPED_TRACE(size);
        int id = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(group), TRUE, size, size, LR_DEFAULTCOLOR);
        int chosen = 0;
        for (int i = 0; i < count; ++i) {
            const BYTE* entry = group + 6 + 14 * i;
            WORD entryId;
            std::memcpy(&entryId, entry + 12, 2);
            if (entryId == id) {
                chosen = entry[0] == 0 ? 256 : entry[0];
            }
        }
        EXPECT_EQ(size, chosen);
        HICON icon = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_MIRELLE), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ICONINFO info = {};
        ASSERT_TRUE(icon != NULL && GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        GetObjectA(info.hbmColor != NULL ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        EXPECT_EQ(size, bitmap.bmWidth);
        EXPECT_EQ(size, bitmap.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(Resources, EmblemIsASmallBlackAndWhiteBitmap)
{
    HRSRC resource = FindResourceA(NULL, MAKEINTRESOURCEA(IDB_EMBLEM), MAKEINTRESOURCEA(2));  // RT_BITMAP
    ASSERT_NE(nullptr, resource);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(NULL, resource)));
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    EXPECT_EQ(17, header.biWidth);
    EXPECT_EQ(17, header.biHeight);
    EXPECT_EQ(1, header.biBitCount);
    const BYTE* palette = data + header.biSize;
    EXPECT_EQ(0, palette[0] | palette[1] | palette[2]);
    EXPECT_EQ(0xFF, palette[4] & palette[5] & palette[6]);
}

TEST(Resources, VersionBlock)
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, &block[0]));
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD high = MAKELONG(MIRELLE_VERSION_MINOR, MIRELLE_VERSION_MAJOR);
    const DWORD low = MAKELONG(MIRELLE_VERSION_TWEAK, MIRELLE_VERSION_PATCH);
    EXPECT_EQ(high, fixed->dwFileVersionMS);
    EXPECT_EQ(low, fixed->dwFileVersionLS);
    EXPECT_EQ(high, fixed->dwProductVersionMS);
    EXPECT_EQ(low, fixed->dwProductVersionLS);
    // Explorer finds the strings through the translation, which must name
    // the code page they are written in: 1252, for these ANSI strings.
    WORD* translation = NULL;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1252, translation[1]);
    char* text = NULL;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\StringFileInfo\\040904E4\\ProductName", reinterpret_cast<void**>(&text),
                               &length));
    EXPECT_STREQ("Mirelle", text);
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\StringFileInfo\\040904E4\\FileDescription",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_GT(std::strlen(text), 10u);
}

TEST(Resources, MessagesAsTheUserReadsThem)
{
    struct { UINT id; const char* text; } strings[] = {
        { IDS_CONFIRM_KEY,
          "Did you intend to use the %s key \"%s\"?  You won't be able to use it for its usual purpose." },
        { IDS_SET_KEYS_CAPTION, "Set Keys" },
        { IDS_SAVE_KEYS_ERROR, "Trouble saving new keys in Registry, err=%1!d!.%n%2" },
        { IDS_STATUS_FORMAT, "The %s, %s, and %s keys will cause Windows Media Player to Mute, Lower, and Raise "
                             "volume, until you quit this program." },
        { IDS_HOOK_ERROR, "Trouble setting hook, err=%1!d!.%n%2" },
        { IDS_ERROR_CAPTION, "Error" },
        { IDS_SAVE_TRAY_ERROR, "Trouble saving minimize setting in Registry, err=%1!d!.%n%2" },
        { IDS_SET_KEYS_PROMPT, "Press the new key or combination" },
    };
    for (const auto& s : strings) {
        char buffer[256];
        int length = LoadStringA(GetModuleHandleA(NULL), s.id, buffer, sizeof buffer);
        EXPECT_EQ(s.text, std::string(buffer, length > 0 ? length : 0)) << s.id;
    }
}

TEST(Resources, ManifestAsksForStylesScalingAndKnownSystems)
{
    HRSRC resource = FindResourceA(NULL, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(nullptr, resource);
    const char* data = static_cast<const char*>(LockResource(LoadResource(NULL, resource)));
    std::string manifest(data, SizeofResource(NULL, resource));
    const char* wanted[] = {
        "name=\"Quorvath.Mirelle\" version=\"" MIRELLE_VERSION_TEXT "\"",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        // Per-monitor v2 where the system knows it, else system-aware;
        // never per-monitor v1 ("true/pm", "PerMonitor").
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
        ">PerMonitorV2, System</dpiAwareness>",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
        "level=\"asInvoker\"",
    };
    for (const char* text : wanted) {
        EXPECT_NE(std::string::npos, manifest.find(text)) << text;
    }
    // This process, which carries the same manifest, runs with version 6 of
    // the common controls: the side-by-side copy, not the system's version 5.
    char path[MAX_PATH] = "";
    GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, MAX_PATH);
    std::string lower(path);
    for (char& c : lower) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_NE(std::string::npos, lower.find("microsoft.windows.common-controls")) << path;
    EXPECT_NE(std::string::npos, lower.find("_6.0.")) << path;
}
