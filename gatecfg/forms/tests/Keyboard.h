#pragma once
// Keys for tests of the keyboard's way through a form: posted to the focused
// window and handled as the program's loop does. Posted, not typed: typed
// input goes to whichever window of the display is in front, and other test
// programs run on the same display.
#include <windows.h>

#include "forms/Application.h"

namespace forms::test {

inline void Press(UINT key, bool shift = false)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    PostMessageW(GetFocus(), WM_KEYUP, key, 0xC0000001);
    ProcessFormMessages();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

// Alt with a letter, as the keyboard's translation delivers it.
inline void PressAlt(wchar_t letter)
{
    PostMessageW(GetFocus(), WM_SYSCHAR, letter, 1 << 29);
    ProcessFormMessages();
}

}  // namespace forms::test
