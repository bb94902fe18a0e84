#include "EscapeKey.h"

#include <windows.h>

bool IsEscapePressed()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD pending = 0;
    if (!GetNumberOfConsoleInputEvents(input, &pending))
        return false;
    for (; pending > 0; --pending) {
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputA(input, &record, 1, &read) || read == 0)
            return false;
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
            record.Event.KeyEvent.wVirtualKeyCode == VK_ESCAPE)
            return true;
    }
    return false;
}
