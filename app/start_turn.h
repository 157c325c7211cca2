// Two starts at the same moment (the Startup folder at logon and a click on a
// shortcut, say) must leave one program running.  Each start makes its hidden
// main window and then looks for another's; side by side, two starts can
// each find the other's window, and both end.  So starts take turns at those
// two steps, through a mutex of the session named with the program's GUID.
#ifndef MIRELLE_START_TURN_H
#define MIRELLE_START_TURN_H

#include <windows.h>

// How long a start waits for its turn: a start that hangs half-way holds up
// the next one this long at most, after which that one goes on regardless.
const DWORD StartTurnWait = 5000;

// Waits for this start's turn.  Returns what EndStartTurn takes; null when
// the turn could not be had, and the start goes on without it.
HANDLE WaitForStartTurn();

// Once the main window exists and the other start has been looked for.
void EndStartTurn(HANDLE turn);

#endif
