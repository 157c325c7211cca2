#include "start_turn.h"

HANDLE WaitForStartTurn()
{
    HANDLE turn = CreateMutexA(NULL, FALSE, "Local\\Mirelle{7C1E52D0-93AB-4F6E-A2D4-0B8C5E19F3A7}");
    if (turn == NULL) {
        return NULL;
    }
    // Abandoned: a start that held the turn died; the turn is ours now.
    DWORD result = WaitForSingleObject(turn, StartTurnWait);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        return turn;
    }
    CloseHandle(turn);
    return NULL;
}

void EndStartTurn(HANDLE turn)
{
    if (turn != NULL) {
        ReleaseMutex(turn);
        CloseHandle(turn);
    }
}
