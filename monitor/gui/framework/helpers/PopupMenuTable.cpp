#include "PopupMenuTable.h"

#include <cstring>

HMENU BuildPopupMenu(const MenuTableItem* table)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    UINT position = 0;
    for (const MenuTableItem* item = table; item && item->text; ++item, ++position) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        if (std::strcmp(item->text, "-") == 0) {
            info.fMask = MIIM_TYPE;
            info.fType = MFT_SEPARATOR;
        } else {
            info.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE | MIIM_DATA;
            info.fType = MFT_STRING;
            info.fState = item->state;
            info.wID = item->id;
            info.dwTypeData = const_cast<char*>(item->text);
        }
        InsertMenuItemA(menu, position, TRUE, &info);
    }
    return menu;
}
