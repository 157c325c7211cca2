#include "tests/support/user_input.h"

void SendKey(BYTE vk, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
    Sleep(30);
}

void Tap(BYTE vk)
{
    SendKey(vk, false);
    SendKey(vk, true);
}

void PressTogether(std::initializer_list<BYTE> keys)
{
    for (BYTE vk : keys) {
        SendKey(vk, false);
    }
    for (const BYTE* vk = keys.end(); vk != keys.begin();) {
        SendKey(*--vk, true);
    }
}

void MoveMouseTo(int x, int y)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = (x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
    input.mi.dy = (y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    Sleep(50);
}

UINT ClickAt(int x, int y)
{
    INPUT input[3] = {};
    for (INPUT& one : input) {
        one.type = INPUT_MOUSE;
    }
    input[0].mi.dx = (x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
    input[0].mi.dy = (y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    UINT sent = SendInput(3, input, sizeof input[0]);
    Sleep(100);
    return sent;
}

void ClickControl(HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}
