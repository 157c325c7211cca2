// Start-up and the message loop.
#ifndef MIRELLE_STARTUP_H
#define MIRELLE_STARTUP_H

#include <windows.h>

// Runs the program and returns its exit code: 0 for a normal end, for a
// second instance and on Windows 9x; 1 when the main window cannot be created,
// the hook cannot be installed or the message loop fails.
int RunMirelle(HINSTANCE instance, int showCommand);

// Ends the process with a box on the Windows 9x platform; returns elsewhere.
void RefuseWindows9x();

// A box with the given text, captioned with the program's own path.
void ShowModuleMessage(const char* text);

#endif
