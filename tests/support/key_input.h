// Keyboard input as the operating system delivers it: SendInput from a second
// thread while the hook's thread keeps pumping messages, plus an observing
// low-level hook that records what reaches it.
#ifndef MIRELLE_TESTS_KEY_INPUT_H
#define MIRELLE_TESTS_KEY_INPUT_H

#include <windows.h>

#include <initializer_list>

struct KeyStroke {
    BYTE vk;
    bool up;
    DWORD time = 0;  // the event's time stamp; 0 lets the system stamp it
};

// Sends the strokes with SendInput from a worker thread, one event per call,
// and pumps the calling thread's messages until the worker is done and the
// hooks have had time to run.
void SendKeysPumping(const KeyStroke* strokes, int count);
inline void SendKeysPumping(std::initializer_list<KeyStroke> strokes)
{
    SendKeysPumping(strokes.begin(), static_cast<int>(strokes.size()));
}

struct ObservedKey {
    BYTE vk;
    bool up;
    bool injected;
};

const int KeyObserverCapacity = 1024;

// A WH_KEYBOARD_LL hook of the test's own.  Hooks run newest first, so one
// installed before the volume hook sees only what the volume hook passes on.
struct KeyObserver {
    HHOOK hook;
    int count;
    ObservedKey keys[KeyObserverCapacity];
};

bool StartKeyObserver(KeyObserver* observer);

// Whether the observer saw exactly one injected press of vk: down, then up.
bool SawInjectedPress(const KeyObserver& observer, BYTE vk);
void StopKeyObserver(KeyObserver* observer);

#endif
