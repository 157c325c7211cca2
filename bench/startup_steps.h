// Mirelle's start-up steps, chosen on the command line, for the minimal
// dialog's twin that shows Mirelle's main window (startup_steps.cpp says
// which there are).
#ifndef MIRELLE_BENCH_STARTUP_STEPS_H
#define MIRELLE_BENCH_STARTUP_STEPS_H

#include <windows.h>

// First thing in WinMain.
void StepsBeforeDialog(HINSTANCE instance, const char* commandLine);

// In the dialog's WM_INITDIALOG.
void StepsInInitDialog(HWND window);

// Once the dialog exists, before it is shown.
void StepsBeforeShow(HWND window, int* showCommand);

#endif
