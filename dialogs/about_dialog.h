// The About dialog: the program's name and version, its makers, an emblem and
// the contact address as a mail link.
#ifndef MIRELLE_ABOUT_DIALOG_H
#define MIRELLE_ABOUT_DIALOG_H

#include <windows.h>

// Runs the dialog, owned by owner, until the user presses OK.
void RunAboutDialog(HWND owner);

// Ends with 1, and only through OK (or Enter): Escape and the close box leave
// it open.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
