#pragma once
// Combo boxes by handle: filling from tables and multi-strings, a most-recent-first
// history kept in a REG_MULTI_SZ value (the edit text first, then the list), and
// selecting by text or item data. The forms with (dialog, id) return -1 when the
// dialog has no such control.
#include <windows.h>

struct ComboTableItem {
    const char* text;  // null ends the table
    DWORD_PTR data;
};

// Puts the text at the top of the list and into the edit field; a text already
// first changes nothing, one further down moves up. FALSE for a null text or a
// failed insert.
BOOL ComboAddRecent(HWND combo, const char* text);
BOOL ComboExAddRecent(HWND comboEx, const char* text);

int ComboFillItems(HWND combo, const ComboTableItem* table);
// The first string becomes the edit text, the others up to the empty one the
// list; returns 1 + the strings listed (0 for a null multi-string).
int ComboFillMultiString(HWND combo, const char* multiString);
// Reads a REG_MULTI_SZ or REG_SZ value and fills the combo with it; 0 when it is
// missing or of another type. Only the value's own bytes are read: a last string
// without its terminator ends where the value ends.
int ComboLoadFromRegistry(HWND combo, HKEY key, const char* valueName);
// Writes the edit text and the first `most` list texts; returns the list texts saved.
int ComboSaveToRegistry(HWND combo, HKEY key, const char* valueName, int most);
int ComboSelectString(HWND combo, const char* text);
int ComboSelectData(HWND combo, DWORD_PTR data);

int ComboFillItems(HWND dialog, int id, const ComboTableItem* table);
int ComboFillMultiString(HWND dialog, int id, const char* multiString);
int ComboLoadFromRegistry(HWND dialog, int id, HKEY key, const char* valueName);
int ComboSaveToRegistry(HWND dialog, int id, HKEY key, const char* valueName, int most);
int ComboSelectString(HWND dialog, int id, const char* text);
int ComboSelectData(HWND dialog, int id, DWORD_PTR data);
