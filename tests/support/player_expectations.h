// What the stand-in player should have been sent for a bound key.
#ifndef MIRELLE_TESTS_PLAYER_EXPECTATIONS_H
#define MIRELLE_TESTS_PLAYER_EXPECTATIONS_H

#include <gtest/gtest.h>

#include "tests/support/stand_in_player.h"

// A player that is not minimized gets the press of its own key: WM_SYSKEYDOWN
// with lParam 1 (one repeat, scan code 0), then WM_SYSKEYUP with 0xC0000001
// (the key was down and is released).  Checks the log from entry `first` on.
inline testing::AssertionResult LoggedKeyPress(const StandInPlayer& player, int first, WPARAM key)
{
    if (player.count < first + 2) {
        return testing::AssertionFailure() << "the player got " << player.count - first << " messages, not 2";
    }
    const PlayerMessage& down = player.log[first];
    const PlayerMessage& up = player.log[first + 1];
    if (down.message != WM_SYSKEYDOWN || down.wParam != key || down.lParam != 1) {
        return testing::AssertionFailure() << "key down: message 0x" << std::hex << down.message << ", key 0x"
                                           << down.wParam << ", lParam 0x" << down.lParam;
    }
    if (up.message != WM_SYSKEYUP || up.wParam != key || up.lParam != static_cast<LPARAM>(0xC0000001u)) {
        return testing::AssertionFailure() << "key up: message 0x" << std::hex << up.message << ", key 0x"
                                           << up.wParam << ", lParam 0x" << up.lParam;
    }
    return testing::AssertionSuccess();
}

// A minimized player gets its menu command instead, in WM_COMMAND with
// lParam 0, at entry `index` of the log.
inline testing::AssertionResult LoggedCommand(const StandInPlayer& player, int index, WPARAM command)
{
    if (player.count <= index) {
        return testing::AssertionFailure() << "the player got only " << player.count << " messages";
    }
    const PlayerMessage& logged = player.log[index];
    if (logged.message != WM_COMMAND || logged.wParam != command || logged.lParam != 0) {
        return testing::AssertionFailure() << "message 0x" << std::hex << logged.message << ", wParam 0x"
                                           << logged.wParam << ", lParam 0x" << logged.lParam;
    }
    return testing::AssertionSuccess();
}

#endif
