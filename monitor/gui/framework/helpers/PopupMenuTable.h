#pragma once
// Popup menus built from a table.
#include <windows.h>

struct MenuTableItem {
    const char* text;  // "-" makes a separator; null ends the table
    UINT id;
    UINT state;        // MFS_ bits
};

// A new popup menu with the table's items in order; the caller destroys it.
HMENU BuildPopupMenu(const MenuTableItem* table);
