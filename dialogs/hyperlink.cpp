#include "hyperlink.h"

#include <windowsx.h>

namespace {

// On the control and on the parent alike: the procedure that was replaced.
const char OriginalProcProperty[] = "_Hyperlink_Original_Proc_";
// On the control: its font before it became a link, put back on destruction
// but never deleted, since it belongs to whoever set it.
const char OriginalFontProperty[] = "_Hyperlink_Original_Font_";
// On the control: the underlined copy shown on hover, owned by the control.
const char UnderlineFontProperty[] = "_Hyperlink_Underline_Font_";
// On the control: marks it as a link for the parent's colouring.
const char FromStaticProperty[] = "_Hyperlink_From_Static_";

WNDPROC PreviousProcedure(HWND window)
{
    return reinterpret_cast<WNDPROC>(GetPropA(window, OriginalProcProperty));
}

HFONT FontProperty(HWND window, const char* name)
{
    return static_cast<HFONT>(GetPropA(window, name));
}

LRESULT Forward(WNDPROC previous, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Only a window whose property someone else removed arrives here without
    // a previous procedure; the default one at least keeps it working.
    if (previous == NULL) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

// The property is written before the procedure is replaced, so the new
// procedure can always find its predecessor.
void Subclass(HWND window, WNDPROC procedure)
{
    LONG_PTR previous = GetWindowLongPtrA(window, GWLP_WNDPROC);
    SetPropA(window, OriginalProcProperty, reinterpret_cast<HANDLE>(previous));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
}

void Unsubclass(HWND window, WNDPROC previous)
{
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropA(window, OriginalProcProperty);
}

// The property, and not only the current procedure, tells whether the parent
// is already ours: were another subclass laid over ours, replacing the
// property would make our procedure call that subclass, which calls ours
// again, without end.
void SubclassParentOnce(HWND parent)
{
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(parent, GWLP_WNDPROC)) == HyperlinkParentProc
        || GetPropA(parent, OriginalProcProperty) != NULL) {
        return;
    }
    Subclass(parent, HyperlinkParentProc);
}

bool IsHyperlink(HWND control)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_WNDPROC)) == HyperlinkProc
        || GetPropA(control, FromStaticProperty) != NULL;
}

bool ReadLogFont(HGDIOBJ font, LOGFONTA* logFont)
{
    return font != NULL && GetObjectA(font, sizeof *logFont, logFont) == sizeof *logFont;
}

// A static without a font of its own draws in the system font; its link
// takes the parent's font, or the GUI font, as the one to underline.
HFONT CreateUnderlinedFont(HWND control, HFONT own)
{
    LOGFONTA logFont;
    bool found = ReadLogFont(own, &logFont);
    if (!found) {
        HWND parent = GetParent(control);
        found = parent != NULL
            && ReadLogFont(reinterpret_cast<HGDIOBJ>(SendMessageA(parent, WM_GETFONT, 0, 0)), &logFont);
    }
    if (!found) {
        found = ReadLogFont(GetStockObject(DEFAULT_GUI_FONT), &logFont);
    }
    if (!found) {
        return NULL;
    }
    logFont.lfUnderline = TRUE;
    return CreateFontIndirectA(&logFont);
}

// No redraw inside WM_SETFONT: the static repaints on its next WM_PAINT,
// which fills its own background, so the area needs no erasing either.
void ShowFont(HWND control, HFONT font)
{
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    InvalidateRect(control, NULL, FALSE);
}

// A static control with SS_NOTIFY gets mouse moves only while the pointer is
// over it, so a move without the capture is the pointer entering.  From then
// on the capture brings the moves outside as well, and the first of those
// ends the hover.  The static sees every move either way.
LRESULT OnMouseMove(HWND control, WNDPROC previous, WPARAM wParam, LPARAM lParam)
{
    if (GetCapture() != control) {
        HFONT underline = FontProperty(control, UnderlineFontProperty);
        if (underline != NULL) {
            ShowFont(control, underline);
        }
        SetCapture(control);
    } else {
        RECT bounds;
        GetWindowRect(control, &bounds);
        // Signed: under the capture, points left of or above the control are negative.
        POINT point = { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
        ClientToScreen(control, &point);
        if (!PtInRect(&bounds, point)) {
            ShowFont(control, FontProperty(control, OriginalFontProperty));
            ReleaseCapture();
        }
    }
    return Forward(previous, control, WM_MOUSEMOVE, wParam, lParam);
}

LRESULT OnSetCursor()
{
    HCURSOR cursor = LoadCursorA(NULL, MAKEINTRESOURCEA(32649)); // IDC_HAND
    if (cursor == NULL) {
        cursor = LoadCursorA(NULL, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    }
    SetCursor(cursor);
    return TRUE;
}

// A new font from outside: the dialog manager hands the controls new fonts
// when the window moves to a monitor with another scale, and may then delete
// the old ones.  The link takes the new font as its own and rebuilds its
// underlined copy from it, so neither of its fonts belongs to the old size.
// Its own hover switches send one of the two fonts it already holds, and
// pass unchanged.  While hovered, the new underlined font is the one shown.
LRESULT OnSetFont(HWND control, WNDPROC previous, WPARAM wParam, LPARAM lParam)
{
    HFONT font = reinterpret_cast<HFONT>(wParam);
    HFONT oldUnderline = FontProperty(control, UnderlineFontProperty);
    if (font == oldUnderline || font == FontProperty(control, OriginalFontProperty)) {
        return Forward(previous, control, WM_SETFONT, wParam, lParam);
    }
    HFONT underline = CreateUnderlinedFont(control, font);
    SetPropA(control, OriginalFontProperty, font);
    SetPropA(control, UnderlineFontProperty, underline);
    HFONT shown = GetCapture() == control && underline != NULL ? underline : font;
    LRESULT result = Forward(previous, control, WM_SETFONT, reinterpret_cast<WPARAM>(shown), lParam);
    // Only now is the old underlined font out of the control's hands.
    if (oldUnderline != NULL) {
        DeleteObject(oldUnderline);
    }
    return result;
}

// Enter on a link with the focus is a click, and the dialog manager is told
// so that Enter does not press the default button instead.  Other keys stay
// with the dialog.
LRESULT OnGetDlgCode(HWND control, WNDPROC previous, WPARAM wParam, LPARAM lParam)
{
    LRESULT code = Forward(previous, control, WM_GETDLGCODE, wParam, lParam);
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg != NULL && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
        code |= DLGC_WANTMESSAGE;
    }
    return code;
}

// The notification is the one a click sends, so the parent cannot tell the
// two apart.  Holding Enter down opens the link once.
LRESULT OnKeyDown(HWND control, WNDPROC previous, WPARAM wParam, LPARAM lParam)
{
    const LPARAM repeat = 0x40000000; // the key was already down
    if (wParam == VK_RETURN && (lParam & repeat) == 0) {
        HWND parent = GetParent(control);
        if (parent != NULL) {
            SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), STN_CLICKED),
                         reinterpret_cast<LPARAM>(control));
        }
        return 0;
    }
    return Forward(previous, control, WM_KEYDOWN, wParam, lParam);
}

bool ShowsFocus(HWND control)
{
    return GetFocus() == control && (SendMessageA(control, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

// The rectangle goes round the text as the static lays it out, kept inside
// the control.
void DrawLinkFocus(HWND control)
{
    char text[256];
    GetWindowTextA(control, text, sizeof text);
    RECT client;
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT around = client;
    DrawTextA(dc, text, -1, &around, DT_CALCRECT | DT_LEFT | DT_WORDBREAK);
    around.right += 1;
    IntersectRect(&around, &around, &client);
    DrawFocusRect(dc, &around);
    SelectObject(dc, oldFont);
    ReleaseDC(control, dc);
}

// The static paints itself; the focus rectangle is drawn over it.  Being
// drawn by inversion, it needs the whole link painted anew beneath it, not
// only the part that was invalid.
LRESULT OnPaint(HWND control, WNDPROC previous, WPARAM wParam, LPARAM lParam)
{
    bool focus = wParam == 0 && ShowsFocus(control);
    if (focus) {
        InvalidateRect(control, NULL, FALSE);
    }
    LRESULT result = Forward(previous, control, WM_PAINT, wParam, lParam);
    if (focus) {
        DrawLinkFocus(control);
    }
    return result;
}

// The focus came or went, or the keyboard cues were shown or hidden.
LRESULT RepaintAfter(HWND control, WNDPROC previous, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = Forward(previous, control, message, wParam, lParam);
    InvalidateRect(control, NULL, FALSE);
    return result;
}

// The control's own font is back before its previous procedure sees
// WM_DESTROY, so nothing of the link outlives it.
LRESULT OnControlDestroy(HWND control, WNDPROC previous, WPARAM wParam, LPARAM lParam)
{
    Unsubclass(control, previous);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontProperty(control, OriginalFontProperty)), 0);
    RemovePropA(control, OriginalFontProperty);
    HFONT underline = FontProperty(control, UnderlineFontProperty);
    if (underline != NULL) {
        DeleteObject(underline);
    }
    RemovePropA(control, UnderlineFontProperty);
    RemovePropA(control, FromStaticProperty);
    return Forward(previous, control, WM_DESTROY, wParam, lParam);
}

// The hyperlinks clean up after themselves on their own WM_DESTROY, which
// comes after the parent's.
LRESULT OnParentDestroy(HWND parent, WNDPROC previous, WPARAM wParam, LPARAM lParam)
{
    Unsubclass(parent, previous);
    return Forward(previous, parent, WM_DESTROY, wParam, lParam);
}

// The dark blue cannot be read on the dark high-contrast themes; there the
// theme's own hyperlink colour is the readable one.  Asked each time the
// link is drawn, since the user can switch high contrast at any moment.
COLORREF LinkColor()
{
    HIGHCONTRASTA highContrast;
    ZeroMemory(&highContrast, sizeof highContrast);
    highContrast.cbSize = sizeof highContrast;
    if (SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof highContrast, &highContrast, 0)
        && (highContrast.dwFlags & HCF_HIGHCONTRASTON) != 0) {
        return GetSysColor(COLOR_HOTLIGHT);
    }
    return HyperlinkColor;
}

// The previous procedure picks the background; only the text colour of a
// link is changed after it.
LRESULT OnCtlColorStatic(HWND parent, WNDPROC previous, WPARAM wParam, LPARAM lParam)
{
    LRESULT brush = Forward(previous, parent, WM_CTLCOLORSTATIC, wParam, lParam);
    if (GetPropA(reinterpret_cast<HWND>(lParam), FromStaticProperty) != NULL) {
        SetTextColor(reinterpret_cast<HDC>(wParam), LinkColor());
    }
    return brush;
}

} // namespace

BOOL MakeHyperlink(HWND control)
{
    if (control == NULL || !IsWindow(control)) {
        return FALSE;
    }
    // A second subclass would record HyperlinkProc as its own predecessor.
    if (IsHyperlink(control)) {
        return TRUE;
    }

    HWND parent = GetParent(control);
    if (parent != NULL) {
        SubclassParentOnce(parent);
    }

    // Without SS_NOTIFY a static neither reports clicks nor sees the pointer.
    LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    SetWindowLongPtrA(control, GWL_STYLE, style | SS_NOTIFY);

    Subclass(control, HyperlinkProc);

    HFONT own = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    SetPropA(control, OriginalFontProperty, own);
    SetPropA(control, UnderlineFontProperty, CreateUnderlinedFont(control, own));
    SetPropA(control, FromStaticProperty, reinterpret_cast<HANDLE>(1));
    return TRUE;
}

BOOL MakeHyperlinkItem(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    if (control == NULL) {
        return FALSE;
    }
    return MakeHyperlink(control);
}

LRESULT CALLBACK HyperlinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = PreviousProcedure(window);
    switch (message) {
    case WM_SETCURSOR:
        return OnSetCursor();
    case WM_MOUSEMOVE:
        return OnMouseMove(window, previous, wParam, lParam);
    case WM_SETFONT:
        return OnSetFont(window, previous, wParam, lParam);
    case WM_GETDLGCODE:
        return OnGetDlgCode(window, previous, wParam, lParam);
    case WM_KEYDOWN:
        return OnKeyDown(window, previous, wParam, lParam);
    case WM_PAINT:
        return OnPaint(window, previous, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
        return RepaintAfter(window, previous, message, wParam, lParam);
    case WM_DESTROY:
        return OnControlDestroy(window, previous, wParam, lParam);
    default:
        return Forward(previous, window, message, wParam, lParam);
    }
}

LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = PreviousProcedure(window);
    switch (message) {
    case WM_DESTROY:
        return OnParentDestroy(window, previous, wParam, lParam);
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(window, previous, wParam, lParam);
    default:
        return Forward(previous, window, message, wParam, lParam);
    }
}
