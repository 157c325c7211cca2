// The "Minimize to Notification Icon" setting: always 0 or 1.  Written by
// LoadSettings and by the main window's check box; read by start-up and the
// main window.
#ifndef MIRELLE_TRAY_MINIMIZE_FLAG_H
#define MIRELLE_TRAY_MINIMIZE_FLAG_H

#include <windows.h>

extern DWORD TrayMinimize;

#endif
