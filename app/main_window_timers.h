// The main window's timers, one id each.
#ifndef MIRELLE_MAIN_WINDOW_TIMERS_H
#define MIRELLE_MAIN_WINDOW_TIMERS_H

#include <windows.h>

#include "traybutton.h"

const UINT_PTR HookWatchdogTimer = 10;
const UINT_PTR SessionWatchTimer = 11;

// The tray module's own timer on the same window never reaches the window.
static_assert(HookWatchdogTimer != TRAYBUTTON_TIMER_ID && SessionWatchTimer != TRAYBUTTON_TIMER_ID,
              "the main window's timers need ids of their own");

#endif
