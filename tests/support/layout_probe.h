// Measuring the layout of a dialog in another process, from inside that
// process.  Fonts and device contexts belong to the process that made them,
// so the room a control's text needs can only be measured there.
//
// The probe is a DLL whose hook procedure a test installs on the program's
// GUI thread (SetWindowsHookExA with WH_CALLWNDPROC); the system loads the DLL
// into the program.  The test then sends the dialog the message named
// LayoutProbeMessage with its own process id in lParam; the hook sees it
// before the dialog does, measures the dialog and writes a LayoutReport into
// the file mapping named by LayoutReportMappingName.  When SendMessage
// returns, the report is there.
#ifndef MIRELLE_TESTS_LAYOUT_PROBE_H
#define MIRELLE_TESTS_LAYOUT_PROBE_H

#include <windows.h>

#include <cstdio>

// RegisterWindowMessageA name of the request.
const char LayoutProbeMessage[] = "MirelleLayoutProbe";
// The hook procedure exported by the probe DLL.
const char LayoutProbeHookName[] = "LayoutProbeHook";

// One control of the dialog, as its own process sees it.
struct ProbedControl {
    int id;
    char windowClass[32];
    char text[128];
    RECT bounds;         // in the dialog's client coordinates
    SIZE needed;         // what the text needs, measured with the control's own font
    SIZE room;           // what the control gives its text
    LONG fontHeight;     // lfHeight of the control's font (WM_GETFONT)
    LONG underlineHeight;  // lfHeight of its hover font when it is a hyperlink, else 0
    BOOL underlined;     // that hover font is underlined
};

const int LayoutReportCapacity = 16;

struct LayoutReport {
    BOOL done;
    int dpi;             // LOGPIXELSY of the screen in the program
    RECT client;         // the dialog's client area
    LONG dialogFontHeight;
    SIZE bigIcon, smallIcon;             // the window's ICON_BIG and ICON_SMALL
    SIZE bigIconMetric, smallIconMetric; // SM_CXICON/SM_CYICON and SM_CXSMICON/SM_CYSMICON in the program
    int controlCount;
    ProbedControl controls[LayoutReportCapacity];
};

// The mapping the report is written to, named for the requesting process.
inline void LayoutReportMappingName(DWORD requester, char* name, int capacity)
{
    std::snprintf(name, static_cast<size_t>(capacity), "MirelleLayoutReport.%lu", static_cast<unsigned long>(requester));
}

#endif
