// A window of the player's class that records what is posted to it, so tests
// can see exactly what the volume hook sends the player.
#ifndef MIRELLE_TESTS_STAND_IN_PLAYER_H
#define MIRELLE_TESTS_STAND_IN_PLAYER_H

#include <windows.h>

#include "tests/support/message_pump.h"

struct PlayerMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

const int StandInPlayerLogCapacity = 4096;

struct StandInPlayer {
    HWND window;
    int count;
    PlayerMessage log[StandInPlayerLogCapacity];
};

// Creates the player window (class "WMPlayerApp"), minimized when asked.  The
// window is not shown otherwise: the hook only looks it up by class.
bool CreateStandInPlayer(StandInPlayer* player, bool minimized);
void DestroyStandInPlayer(StandInPlayer* player);

// Dispatches the calling thread's messages until the player has logged
// `wanted` messages or `milliseconds` have passed.  Returns whether the
// wanted count was reached.
bool PumpUntilLogged(StandInPlayer* player, int wanted, DWORD milliseconds);

#endif
