#include "DlgItems.h"

BOOL ShowDlgItem(HWND dialog, int id, int showCommand)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? ShowWindow(item, showCommand) : 0;
}

BOOL SendDlgItemCommand(HWND dialog, int id, UINT code)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item)
        return FALSE;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(item));
    return TRUE;
}

BOOL EnableDlgItem(HWND dialog, int id, BOOL enable)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item)
        return FALSE;
    EnableWindow(item, enable);
    return TRUE;
}
