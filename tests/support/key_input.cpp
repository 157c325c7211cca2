#include "tests/support/key_input.h"

#include "tests/support/message_pump.h"

namespace {

struct SendJob {
    const KeyStroke* strokes;
    int count;
};

DWORD WINAPI SendKeysThread(void* parameter)
{
    const SendJob* job = static_cast<const SendJob*>(parameter);
    for (int i = 0; i < job->count; ++i) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = job->strokes[i].vk;
        input.ki.dwFlags = job->strokes[i].up ? KEYEVENTF_KEYUP : 0;
        input.ki.time = job->strokes[i].time;
        SendInput(1, &input, sizeof input);
    }
    return 0;
}

KeyObserver* ActiveObserver = NULL;

LRESULT CALLBACK ObserverProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && ActiveObserver != NULL && ActiveObserver->count < KeyObserverCapacity) {
        const KBDLLHOOKSTRUCT* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        ObservedKey& key = ActiveObserver->keys[ActiveObserver->count++];
        key.vk = static_cast<BYTE>(event->vkCode);
        key.up = (event->flags & LLKHF_UP) != 0;
        key.injected = (event->flags & LLKHF_INJECTED) != 0;
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

} // namespace

void SendKeysPumping(const KeyStroke* strokes, int count)
{
    SendJob job = { strokes, count };
    HANDLE thread = CreateThread(NULL, 0, SendKeysThread, &job, 0, NULL);
    PumpUntilSignalled(thread, 5000);
    CloseHandle(thread);
    // Hooks and posted messages may still be on their way.
    PumpMessagesFor(200);
}

bool StartKeyObserver(KeyObserver* observer)
{
    observer->count = 0;
    ActiveObserver = observer;
    observer->hook = SetWindowsHookExA(WH_KEYBOARD_LL, ObserverProc, GetModuleHandleA(NULL), 0);
    return observer->hook != NULL;
}

void StopKeyObserver(KeyObserver* observer)
{
    if (observer->hook != NULL) {
        UnhookWindowsHookEx(observer->hook);
        observer->hook = NULL;
    }
    ActiveObserver = NULL;
}

bool SawInjectedPress(const KeyObserver& observer, BYTE vk)
{
    return observer.count == 2 && observer.keys[0].vk == vk && !observer.keys[0].up && observer.keys[0].injected
        && observer.keys[1].vk == vk && observer.keys[1].up && observer.keys[1].injected;
}
