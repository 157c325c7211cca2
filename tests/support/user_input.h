// A person at the keyboard and mouse, through SendInput: key taps, pointer
// moves and clicks at screen positions.  Each step waits a moment so the
// program under test can react before the next one.
#ifndef MIRELLE_TESTS_USER_INPUT_H
#define MIRELLE_TESTS_USER_INPUT_H

#include <windows.h>

#include <initializer_list>

void SendKey(BYTE vk, bool up);
void Tap(BYTE vk);
// Keys pressed together: down in the order given, up in the reverse order.
void PressTogether(std::initializer_list<BYTE> keys);
void MoveMouseTo(int x, int y);
// Returns how many of its three events (move, press, release) went out.
UINT ClickAt(int x, int y);
// Clicks the middle of a window (of any process).
void ClickControl(HWND control);

#endif
