// Process-wide state of the application shell.  Start-up fills it; none of it
// is freed before the process ends.
#ifndef MIRELLE_APP_STATE_H
#define MIRELLE_APP_STATE_H

#include <windows.h>

// The module instance handle: set first thing at start-up, read by everything
// that loads resources or installs the hook.
extern HINSTANCE ModuleInstance;

// The main window; null before it exists and again from its WM_DESTROY on.
extern HWND MainWindowHandle;

// A copy of the program's own VS_FIXEDFILEINFO; all zero when it could not be
// read.  The About box shows the product version from it.
extern VS_FIXEDFILEINFO VersionRecord;

#endif
