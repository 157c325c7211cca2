// The main window's timers, one id each.
#ifndef MIRELLE_MAIN_WINDOW_TIMERS_H
#define MIRELLE_MAIN_WINDOW_TIMERS_H

#include <windows.h>

const UINT_PTR HookWatchdogTimer = 10;
const UINT_PTR SessionWatchTimer = 11;

#endif
