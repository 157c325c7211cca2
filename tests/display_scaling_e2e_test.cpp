// The real mirelle.exe at 100 %, 125 %, 150 %, 175 %, 200 % and 225 % display
// scaling: its main window, Set Keys and About dialogs keep every control
// inside the dialog and every text whole, the longest key names included,
// measured inside the program with its own fonts by the layout probe
// (tests/support/layout_probe.h); the window's icons have the sizes of the
// scale.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "key_bindings.h"
#include "resource.h"
#include "tests/support/layout_probe.h"
#include "tests/support/mirelle_process.h"

namespace {

char ProbePath[MAX_PATH] = "";

class DisplayScalingTest : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        RemoveSettingsKey();
        std::memset(&mirelle_, 0, sizeof mirelle_);
        char name[64];
        LayoutReportMappingName(GetCurrentProcessId(), name, sizeof name);
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(LayoutReport), name);
        ASSERT_NE(nullptr, mapping_);
        report_ = static_cast<LayoutReport*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(LayoutReport)));
        ASSERT_NE(nullptr, report_);
        probe_ = LoadLibraryA(ProbePath);
        ASSERT_NE(nullptr, probe_) << ProbePath;
    }

    void TearDown() override
    {
        if (hook_ != NULL) {
            UnhookWindowsHookEx(hook_);
        }
        StopMirelle(&mirelle_);
        if (probe_ != NULL) {
            FreeLibrary(probe_);
        }
        if (report_ != NULL) {
            UnmapViewOfFile(report_);
        }
        if (mapping_ != NULL) {
            CloseHandle(mapping_);
        }
        RemoveSettingsKey();
    }

    // Starts the program at the test's DPI and lays the probe's hook on its
    // GUI thread.
    void StartScaled()
    {
        ASSERT_TRUE(StartMirelleAtDpi(&mirelle_, GetParam(), SW_SHOWNORMAL));
        // Through void (*)(), the one pointer type every function pointer converts to.
        HOOKPROC hook = reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void (*)()>(GetProcAddress(probe_, LayoutProbeHookName)));
        ASSERT_NE(nullptr, hook);
        hook_ = SetWindowsHookExA(WH_CALLWNDPROC, hook, probe_, mirelle_.info.dwThreadId);
        ASSERT_NE(nullptr, hook_);
    }

    // The layout of one of the program's dialogs, measured in the program.
    const LayoutReport& Probe(HWND dialog)
    {
        std::memset(report_, 0, sizeof *report_);
        SendMessageA(dialog, RegisterWindowMessageA(LayoutProbeMessage), 0, GetCurrentProcessId());
        EXPECT_TRUE(report_->done) << "the probe did not answer";
        return *report_;
    }

    // Opens a modal dialog from the main window's command and finds it.
    HWND Open(int command, const char* title)
    {
        PostMessageA(mirelle_.mainWindow, WM_COMMAND, command, 0);
        HWND dialog = FindProcessDialog(mirelle_.info.dwProcessId, title, 10000);
        EXPECT_NE(nullptr, dialog) << title;
        return dialog;
    }

    void Close(HWND dialog, int command)
    {
        PostMessageA(dialog, WM_COMMAND, command, 0);
        for (int i = 0; i < 500 && IsWindow(dialog); ++i) {
            Sleep(20);
        }
        EXPECT_FALSE(IsWindow(dialog));
    }

    MirelleProcess mirelle_;
    HANDLE mapping_ = NULL;
    LayoutReport* report_ = NULL;
    HMODULE probe_ = NULL;
    HHOOK hook_ = NULL;
};

// Every control inside the client area, every text within its control's room.
void ExpectWhole(const LayoutReport& report, int dpi)
{
    EXPECT_EQ(dpi, report.dpi) << "the program does not run at the scale asked for";
    ASSERT_GT(report.controlCount, 0);
    for (int i = 0; i < report.controlCount; ++i) {
        const ProbedControl& control = report.controls[i];
        SCOPED_TRACE(testing::Message() << control.windowClass << " " << control.id << " \"" << control.text << "\"");
        RECT inside;
        IntersectRect(&inside, &control.bounds, &report.client);
        EXPECT_TRUE(EqualRect(&inside, &control.bounds)) << "outside the client area";
        EXPECT_LE(control.needed.cx, control.room.cx) << "text cut at the side";
        EXPECT_LE(control.needed.cy, control.room.cy) << "text cut at the bottom";
    }
}

std::string Dimensions(SIZE size)
{
    return std::to_string(size.cx) + "x" + std::to_string(size.cy);
}

const ProbedControl* FindControl(const LayoutReport& report, int id)
{
    for (int i = 0; i < report.controlCount; ++i) {
        if (report.controls[i].id == id) {
            return &report.controls[i];
        }
    }
    return NULL;
}

} // namespace

TEST_P(DisplayScalingTest, MainWindowSetKeysAndAboutAreWhole)
{
    const int dpi = GetParam();
    // Every key's name with both modifiers, as the program writes it, fits a
    // capture field; the three widest are the ones to show in the status line.
    HMODULE program = LoadLibraryExA(MirellePath(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    StartScaled();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::pair<LONG, BYTE>> widths;  // what each name needs, and its code
    {
        SCOPED_TRACE("every name in a capture field");
        HWND setKeys = Open(IDC_MAIN_SET_KEYS, "Set Keys");
        ASSERT_NE(nullptr, setKeys);
        LONG room = 0;
        for (int vk = 0; vk < 256; ++vk) {
            char name[64];
            FormatKeyName(program, KeyBinding{ static_cast<BYTE>(vk), 3 }, name, sizeof name);
            SendMessageA(GetDlgItem(setKeys, IDC_SETKEYS_RAISE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name));
            const ProbedControl* field = FindControl(Probe(setKeys), IDC_SETKEYS_RAISE);
            ASSERT_NE(nullptr, field);
            EXPECT_LE(field->needed.cx, field->room.cx) << name;
            widths.push_back({ field->needed.cx, static_cast<BYTE>(vk) });
            room = field->room.cx;
        }
        std::sort(widths.rbegin(), widths.rend());
        std::printf("At %d dpi the widest name takes %ld of the field's %ld pixels\n", dpi, widths[0].first, room);
        Close(setKeys, IDCANCEL);
    }
    const BYTE keys[6] = { widths[0].second, 3, widths[1].second, 3, widths[2].second, 3 };
    FreeLibrary(program);
    UnhookWindowsHookEx(hook_);
    hook_ = NULL;
    StopMirelle(&mirelle_);
    ASSERT_TRUE(WriteSettingsValue("VK", REG_BINARY, keys, 6));
    StartScaled();
    ASSERT_FALSE(HasFatalFailure());

    {
        SCOPED_TRACE("main window");
        const LayoutReport& main = Probe(mirelle_.mainWindow);
        ExpectWhole(main, dpi);
        // The icons at the sizes the system asks for at this scale, both
        // ways; the icon group has an image drawn for each (resources_tests).
        const std::string bigSize = Dimensions(SIZE{ MulDiv(32, dpi, 96), MulDiv(32, dpi, 96) });
        const std::string smallSize = Dimensions(SIZE{ MulDiv(16, dpi, 96), MulDiv(16, dpi, 96) });
        EXPECT_EQ(bigSize, Dimensions(main.bigIconMetric));
        EXPECT_EQ(bigSize, Dimensions(main.bigIcon));
        EXPECT_EQ(smallSize, Dimensions(main.smallIconMetric));
        EXPECT_EQ(smallSize, Dimensions(main.smallIcon));
    }
    {
        SCOPED_TRACE("Set Keys");
        HWND setKeys = Open(IDC_MAIN_SET_KEYS, "Set Keys");
        ASSERT_NE(nullptr, setKeys);
        ExpectWhole(Probe(setKeys), dpi);
        Close(setKeys, IDCANCEL);
    }
    {
        SCOPED_TRACE("About");
        HWND about = Open(IDC_MAIN_ABOUT, "About Mirelle");
        ASSERT_NE(nullptr, about);
        const LayoutReport& report = Probe(about);
        ExpectWhole(report, dpi);
        int links = 0;
        for (int i = 0; i < report.controlCount; ++i) {
            const ProbedControl& control = report.controls[i];
            if (control.underlineHeight != 0) {
                ++links;
                EXPECT_EQ(IDC_ABOUT_CONTACT, control.id);
                EXPECT_TRUE(control.underlined);
                EXPECT_EQ(control.fontHeight, control.underlineHeight);
                EXPECT_EQ(report.dialogFontHeight, control.fontHeight);
            }
        }
        EXPECT_EQ(1, links);
        Close(about, IDOK);
    }
}

INSTANTIATE_TEST_SUITE_P(Scaled, DisplayScalingTest, testing::Values(96, 120, 144, 168, 192, 216),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "dpi"; });

int main(int argc, char** argv)
{
    TakeMirellePathArgument(argc, argv);
    TakePathArgument(argc, argv, "--probe", ProbePath, MAX_PATH);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
