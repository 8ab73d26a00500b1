// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard held on Windows: a low-level keyboard hook, installed while
// the lesson is in front, swallows the keys the system acts on by itself
// (the Windows keys, Alt+Tab, Alt+Esc, Ctrl+Esc, Alt+F4) before any window
// sees them. Every other key goes on to the lesson as usual.
#include "keyboard_hold.h"

#include <windows.h>

namespace {

HHOOK hook = nullptr;

bool down(int key)
{
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

LRESULT CALLBACK swallowSystemKeys(int code, WPARAM message, LPARAM data)
{
    if (code == HC_ACTION) {
        const auto *key = reinterpret_cast<const KBDLLHOOKSTRUCT *>(data);
        // Wine leaves LLKHF_ALTDOWN out of the hook's flags (Alt+Tab comes
        // with flags 0 there), so Alt held is also asked of the key state,
        // as Ctrl is: a modifier pressed before this key is down in it.
        const bool alt = (key->flags & LLKHF_ALTDOWN) != 0 || down(VK_MENU);
        bool swallow = false;
        switch (key->vkCode) {
        case VK_LWIN:
        case VK_RWIN:
        case VK_APPS:
            swallow = true;
            break;
        case VK_TAB:
        case VK_F4:
            swallow = alt;
            break;
        case VK_ESCAPE:
            swallow = alt || down(VK_CONTROL);
            break;
        default:
            break;
        }
        if (swallow)
            return 1;
    }
    return CallNextHookEx(hook, code, message, data);
}

} // namespace

KeyboardHold::Outcome KeyboardHold::hold()
{
    if (!hook)
        hook = SetWindowsHookExW(WH_KEYBOARD_LL, swallowSystemKeys, GetModuleHandleW(nullptr), 0);
    return hook ? Outcome::Held : Outcome::Busy;
}

void KeyboardHold::letGo()
{
    if (hook && UnhookWindowsHookEx(hook))
        hook = nullptr;
}
