#pragma once
// List views: a hover notification and item state by handle.
#include <windows.h>
#include <commctrl.h>

// While the mouse moves over an item, the notify window gets
// SendMessage(message, pointer to the LVHITTESTINFO, lParamValue). FALSE when the
// list view's user data is already taken (the record lives there until the
// window is destroyed).
BOOL HookListViewHover(HWND listView, HWND notifyWindow, UINT message, LPARAM lParamValue);

int ListViewGetItemImage(HWND listView, int index);
LRESULT ListViewSetItemSelected(HWND listView, int index, BOOL on);
// Returns the number of items.
int ListViewSelectAll(HWND listView, BOOL on);

// An image list of the bitmap's cx x cy images, masked by the colour; null when
// the bitmap is missing. The caller destroys it.
HIMAGELIST LoadImageList(HINSTANCE module, UINT bitmapId, int cx, int cy, COLORREF mask);
