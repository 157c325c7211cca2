// The layout probe DLL (see layout_probe.h): loaded into the program by the
// system for a test's hook, it measures a dialog with the program's own fonts.
#include "tests/support/layout_probe.h"

namespace {

const char HyperlinkUnderlineFont[] = "_Hyperlink_Underline_Font_";

SIZE SizeOf(const RECT& r)
{
    return { r.right - r.left, r.bottom - r.top };
}

bool ReadLogFont(HGDIOBJ font, LOGFONTA* logFont)
{
    return font != NULL && GetObjectA(font, sizeof *logFont, logFont) == sizeof *logFont;
}

LONG HeightOf(HGDIOBJ font)
{
    LOGFONTA logFont;
    return ReadLogFont(font, &logFont) ? logFont.lfHeight : 0;
}

HFONT FontOf(HWND window)
{
    return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
}

// The rectangle DrawText needs for the text in the control's own font, at
// most `width` wide where the format breaks lines.
SIZE TextNeeds(HWND control, const char* text, UINT format, int width)
{
    HDC dc = GetDC(control);
    HFONT font = FontOf(control);
    HGDIOBJ old = SelectObject(dc, font != NULL ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    RECT needed = { 0, 0, width, 0 };
    DrawTextA(dc, text, -1, &needed, format | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return SizeOf(needed);
}

// What the control needs and gives for its text, drawn the way its class
// draws it.  Push buttons draw a 3-D edge and, inside it, the focus frame;
// check boxes put the box and a gap before the text; edit fields say where
// their text goes (EM_GETRECT); statics use their whole client area.
void Measure(HWND control, ProbedControl* probed)
{
    RECT client;
    GetClientRect(control, &client);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    probed->room = SizeOf(client);
    if (lstrcmpiA(probed->windowClass, "Static") == 0) {
        if ((style & SS_TYPEMASK) > SS_RIGHT) {
            return;  // a picture, a frame, or text that does not wrap
        }
        UINT format = DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
        probed->needed = TextNeeds(control, probed->text, format, probed->room.cx);
    } else if (lstrcmpiA(probed->windowClass, "Button") == 0) {
        LONG kind = style & BS_TYPEMASK;
        if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) {
            int inset = GetSystemMetrics(SM_CXEDGE) + 1;
            probed->room.cx -= 2 * inset;
            probed->room.cy -= 2 * inset;
        } else {
            probed->room.cx -= GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE);
        }
        probed->needed = TextNeeds(control, probed->text, DT_SINGLELINE, 0);
    } else if (lstrcmpiA(probed->windowClass, "Edit") == 0) {
        RECT format;
        SendMessageA(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        probed->room = SizeOf(format);
        probed->needed = TextNeeds(control, probed->text[0] != '\0' ? probed->text : "Xy", DT_SINGLELINE | DT_NOPREFIX, 0);
    }
}

void ProbeControl(HWND dialog, HWND control, ProbedControl* probed)
{
    probed->id = GetDlgCtrlID(control);
    GetClassNameA(control, probed->windowClass, sizeof probed->windowClass);
    GetWindowTextA(control, probed->text, sizeof probed->text);
    GetWindowRect(control, &probed->bounds);
    MapWindowPoints(NULL, dialog, reinterpret_cast<POINT*>(&probed->bounds), 2);
    Measure(control, probed);
    probed->fontHeight = HeightOf(FontOf(control));
    LOGFONTA hover;
    if (ReadLogFont(GetPropA(control, HyperlinkUnderlineFont), &hover)) {
        probed->underlineHeight = hover.lfHeight;
        probed->underlined = hover.lfUnderline != 0;
    }
}

SIZE IconSize(HWND window, WPARAM which)
{
    HICON icon = reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, which, 0));
    ICONINFO info;
    if (icon == NULL || !GetIconInfo(icon, &info)) {
        return SIZE{ 0, 0 };
    }
    BITMAP bitmap = {};
    GetObjectA(info.hbmColor != NULL ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor != NULL) {
        DeleteObject(info.hbmColor);
    }
    DeleteObject(info.hbmMask);
    // A colourless icon's mask holds its AND and XOR halves one above the other.
    return SIZE{ bitmap.bmWidth, info.hbmColor != NULL ? bitmap.bmHeight : bitmap.bmHeight / 2 };
}

void Probe(HWND dialog, LayoutReport* report)
{
    ZeroMemory(report, sizeof *report);
    HDC screen = GetDC(NULL);
    report->dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    GetClientRect(dialog, &report->client);
    report->dialogFontHeight = HeightOf(FontOf(dialog));
    report->bigIcon = IconSize(dialog, ICON_BIG);
    report->smallIcon = IconSize(dialog, ICON_SMALL);
    report->bigIconMetric = SIZE{ GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON) };
    report->smallIconMetric = SIZE{ GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON) };
    for (HWND control = GetWindow(dialog, GW_CHILD); control != NULL && report->controlCount < LayoutReportCapacity;
         control = GetWindow(control, GW_HWNDNEXT)) {
        ProbeControl(dialog, control, &report->controls[report->controlCount++]);
    }
    report->done = TRUE;
}

void Answer(HWND dialog, DWORD requester)
{
    char name[64];
    LayoutReportMappingName(requester, name, sizeof name);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (mapping == NULL) {
        return;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(LayoutReport));
    if (view != NULL) {
        Probe(dialog, static_cast<LayoutReport*>(view));
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK LayoutProbeHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->message == RegisterWindowMessageA(LayoutProbeMessage)) {
            Answer(call->hwnd, static_cast<DWORD>(call->lParam));
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}
