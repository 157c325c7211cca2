#include "volume_hook.h"

#include "hook_state.h"
#include "key_binding_set.h"

char PlayerClassName[PlayerClassNameCapacity] = "";
ModifierMask HeldModifiers = 0;
HHOOK VolumeHookHandle = NULL;
DWORD VolumeHookInstallTick = 0;
DWORD VolumeHookLastCallTick = 0;

namespace {

// Per action, in VolumeAction order.
const BYTE InjectedVolumeKey[VolumeActionCount] = { VK_VOLUME_MUTE, VK_VOLUME_DOWN, VK_VOLUME_UP };
const BYTE PlayerKey[VolumeActionCount] = { VK_F8, VK_F9, VK_F10 };
const WORD PlayerCommand[VolumeActionCount] = { 0x4981, 0x4980, 0x497F };

// A key message's lParam: repeat count 1, scan code 0; the release adds the
// previous-state and transition bits.
const LPARAM PlayerKeyDownLParam = 1;
const LPARAM PlayerKeyUpLParam = static_cast<LPARAM>(0xC0000001u);

bool IsKeyMessage(WPARAM message)
{
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN
        || message == WM_SYSKEYUP;
}

bool IsBoundKey(BYTE vk)
{
    for (int i = 0; i < VolumeActionCount; ++i) {
        if (KeyBindings.binding[i].vk == vk) {
            return true;
        }
    }
    return false;
}

HHOOK RequestHook(HINSTANCE module)
{
#ifdef MIRELLE_TEST_REFUSE_HOOK_FROM
    // Only in the test builds that exercise the failure paths: from the given
    // installation on (0 is the first), and for as many as the test asks
    // (all, unless it says), ask for a hook without a procedure, which the
    // system refuses with a real error code.
#ifndef MIRELLE_TEST_REFUSE_HOOK_COUNT
#define MIRELLE_TEST_REFUSE_HOOK_COUNT 0x7FFFFFFF
#endif
    static int installations = 0;
    int installation = installations++;
    if (installation >= MIRELLE_TEST_REFUSE_HOOK_FROM
        && installation - MIRELLE_TEST_REFUSE_HOOK_FROM < MIRELLE_TEST_REFUSE_HOOK_COUNT) {
        return SetWindowsHookExA(WH_KEYBOARD_LL, NULL, module, 0);
    }
#endif
    return SetWindowsHookExA(WH_KEYBOARD_LL, VolumeHookProc, module, 0);
}

} // namespace

int MatchVolumeAction(const KeyBindingSet& bindings, BYTE vk, ModifierMask held)
{
    // The whole mask byte is compared, so a stored mask with bits above 1
    // never matches.
    for (int i = 0; i < VolumeActionCount; ++i) {
        if (bindings.binding[i].vk == vk && bindings.binding[i].modifiers == held) {
            return i;
        }
    }
    return -1;
}

ModifierMask TrackModifiers(ModifierMask held, BYTE vk, BOOL keyUp)
{
    ModifierMask bit = 0;
    if (vk == VK_SHIFT || vk == VK_LSHIFT || vk == VK_RSHIFT) {
        bit = ModifierShift;
    } else if (vk == VK_CONTROL || vk == VK_LCONTROL || vk == VK_RCONTROL) {
        bit = ModifierControl;
    } else {
        return held;
    }
    return keyUp ? static_cast<ModifierMask>(held & ~bit) : static_cast<ModifierMask>(held | bit);
}

ModifierMask ForgetModifiersReleasedUnseen(ModifierMask held)
{
    if ((held & ModifierShift) != 0 && GetAsyncKeyState(VK_SHIFT) >= 0) {
        held = static_cast<ModifierMask>(held & ~ModifierShift);
    }
    if ((held & ModifierControl) != 0 && GetAsyncKeyState(VK_CONTROL) >= 0) {
        held = static_cast<ModifierMask>(held & ~ModifierControl);
    }
    return held;
}

BOOL HandleVolumeKeyEvent(BYTE vk, BOOL keyUp)
{
    // Every other key costs one comparison per binding and nothing more.
    if (!IsBoundKey(vk)) {
        HeldModifiers = TrackModifiers(HeldModifiers, vk, keyUp);
        return FALSE;
    }
    // The system calls no hook of ours for keys that go to an elevated window
    // or to the secure desktop, so a Shift or Control let go there (Ctrl+Shift+
    // Esc, Ctrl+Alt+Del, the consent prompt) would stay held in our record and
    // silence every binding without it.  Only a bound key pays for the check.
    HeldModifiers = ForgetModifiersReleasedUnseen(HeldModifiers);
    int action = MatchVolumeAction(KeyBindings, vk, HeldModifiers);
    if (action < 0) {
        HeldModifiers = TrackModifiers(HeldModifiers, vk, keyUp);
        return FALSE;
    }

    HWND player = FindWindowA(PlayerClassName, NULL);
    if (player != NULL) {
        // A minimized player ignores keys, so it gets its menu command instead.
        if (IsIconic(player)) {
            if (!keyUp) {
                PostMessageA(player, WM_COMMAND, PlayerCommand[action], 0);
            }
        } else if (keyUp) {
            PostMessageA(player, WM_SYSKEYUP, PlayerKey[action], PlayerKeyUpLParam);
        } else {
            PostMessageA(player, WM_SYSKEYDOWN, PlayerKey[action], PlayerKeyDownLParam);
        }
        return TRUE;
    }

    // Without a player the system volume should react.  If the volume key is
    // itself bound, injecting it would come straight back to us as a bound
    // key; the user's own event is passed on instead.
    BYTE volumeKey = InjectedVolumeKey[action];
    if (IsBoundKey(volumeKey)) {
        return FALSE;
    }
    keybd_event(volumeKey, 0, keyUp ? KEYEVENTF_KEYUP : 0, 0);
    return TRUE;
}

LRESULT CALLBACK VolumeHookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HC_ACTION) {
        const KBDLLHOOKSTRUCT* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        // Proof of life for the watchdog, which cannot ask the system whether
        // the hook is still installed.
        VolumeHookLastCallTick = GetTickCount();
        if (IsKeyMessage(wParam)
            && HandleVolumeKeyEvent(static_cast<BYTE>(event->vkCode), (event->flags & LLKHF_UP) != 0)) {
            return 1;
        }
    }
    return CallNextHookEx(VolumeHookHandle, nCode, wParam, lParam);
}

HHOOK InstallVolumeHook(HINSTANCE module)
{
    HHOOK hook = RequestHook(module);
    if (hook == NULL) {
        return NULL;
    }
    // Only now that the new hook is in place does the old one go: a refused
    // install must not cost the keys a hook that works.
    if (VolumeHookHandle != NULL) {
        UnhookWindowsHookEx(VolumeHookHandle);
    }
    VolumeHookHandle = hook;
    // Nothing from before the install counts against the new hook.
    VolumeHookInstallTick = GetTickCount();
    VolumeHookLastCallTick = VolumeHookInstallTick;
    return hook;
}

void RemoveVolumeHook()
{
    if (VolumeHookHandle != NULL) {
        UnhookWindowsHookEx(VolumeHookHandle);
        VolumeHookHandle = NULL;
    }
}

void ReadHeldModifiersFromKeyboard()
{
    ModifierMask held = 0;
    if (GetAsyncKeyState(VK_SHIFT) < 0) {
        held |= ModifierShift;
    }
    if (GetAsyncKeyState(VK_CONTROL) < 0) {
        held |= ModifierControl;
    }
    HeldModifiers = held;
}
