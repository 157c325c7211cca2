// Hyperlink: turns a static text control into a link.  Its text is drawn in
// the link colour (the system's hyperlink colour while high contrast is on),
// the pointer becomes a hand over it, the text is underlined while the
// pointer is over it, and a click reaches the parent as WM_COMMAND with
// STN_CLICKED.  A link with the focus (one in the tab order) shows a focus
// rectangle unless the window hides its keyboard cues, and Enter on it is a
// click.  What the click does is the parent's business.  A font
// set on the control later (WM_SETFONT, as the dialog manager does at a new
// display scale) becomes the link's font, and its underlined copy follows.
//
// The module keeps no global state: everything lives in window properties on
// the control and its parent, and it takes itself apart when those windows
// are destroyed.
#ifndef MIRELLE_HYPERLINK_H
#define MIRELLE_HYPERLINK_H

#include <windows.h>

// The text colour of every hyperlink: dark blue.  While high contrast is on,
// links take the system's hyperlink colour (COLOR_HOTLIGHT) instead.
const COLORREF HyperlinkColor = 0x00C00000;

// Makes the static control a hyperlink and subclasses its parent (once per
// parent, however many links it holds).  Calling it again on a control that
// already is a hyperlink changes nothing.  Returns TRUE, or FALSE when
// control is not a window.
BOOL MakeHyperlink(HWND control);

// MakeHyperlink on the dialog's control with that id; FALSE, with nothing
// changed, when the dialog has no such control.
BOOL MakeHyperlinkItem(HWND dialog, int controlId);

// The window procedure installed on each hyperlink control.
LRESULT CALLBACK HyperlinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The window procedure installed on the parent of hyperlinks: it colours
// their text.
LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
