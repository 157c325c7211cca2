#include "tests/support/stand_in_player.h"

namespace {

const char PlayerClass[] = "WMPlayerApp";
const char PlayerProperty[] = "StandInPlayer";

LRESULT CALLBACK StandInPlayerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    StandInPlayer* player = static_cast<StandInPlayer*>(GetPropA(window, PlayerProperty));
    if (player != NULL && (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_COMMAND
                           || message == WM_KEYDOWN || message == WM_KEYUP)) {
        if (player->count < StandInPlayerLogCapacity) {
            player->log[player->count].message = message;
            player->log[player->count].wParam = wParam;
            player->log[player->count].lParam = lParam;
            player->count++;
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterPlayerClass()
{
    static bool registered = false;
    if (registered) {
        return;
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = StandInPlayerProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = PlayerClass;
    RegisterClassA(&wc);
    registered = true;
}

} // namespace

bool CreateStandInPlayer(StandInPlayer* player, bool minimized)
{
    RegisterPlayerClass();
    player->count = 0;
    DWORD style = WS_OVERLAPPEDWINDOW | (minimized ? WS_MINIMIZE : 0);
    player->window = CreateWindowExA(0, PlayerClass, "Stand-in player", style, 0, 0, 200, 100, NULL, NULL,
                                     GetModuleHandleA(NULL), NULL);
    if (player->window == NULL) {
        return false;
    }
    SetPropA(player->window, PlayerProperty, player);
    return true;
}

void DestroyStandInPlayer(StandInPlayer* player)
{
    if (player->window != NULL) {
        RemovePropA(player->window, PlayerProperty);
        DestroyWindow(player->window);
        player->window = NULL;
    }
}

bool PumpUntilLogged(StandInPlayer* player, int wanted, DWORD milliseconds)
{
    return PumpUntil([&] { return player->count >= wanted; }, milliseconds);
}
