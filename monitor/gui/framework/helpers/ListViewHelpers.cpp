#include "ListViewHelpers.h"

#include <commctrl.h>

#include <exception>

namespace {

struct HoverHookRecord {
    HWND notifyWindow;
    UINT message;
    LPARAM lParamValue;
    WNDPROC previous;
};

LRESULT CALLBACK HoverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* record = reinterpret_cast<HoverHookRecord*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!record)
        return DefWindowProcA(window, message, wParam, lParam);
    WNDPROC previous = record->previous;  // the record may be gone below
    if (message == WM_MOUSEMOVE) {
        LVHITTESTINFO hit{};
        hit.pt.x = short(LOWORD(lParam));
        hit.pt.y = short(HIWORD(lParam));
        if (CallWindowProcA(previous, window, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) != -1)
            SendMessageA(record->notifyWindow, record->message, reinterpret_cast<WPARAM>(&hit),
                         record->lParamValue);
    } else if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        delete record;
    }
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

}  // namespace

BOOL HookListViewHover(HWND listView, HWND notifyWindow, UINT message, LPARAM lParamValue)
{
    if (!listView || GetWindowLongPtrA(listView, GWLP_USERDATA) != 0)
        return FALSE;
    auto* record = new HoverHookRecord{notifyWindow, message, lParamValue, nullptr};
    SetWindowLongPtrA(listView, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    record->previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(listView, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HoverProc)));
    return TRUE;
}

int ListViewGetItemImage(HWND listView, int index)
{
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    if (!SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return -1;
    return item.iImage;
}

LRESULT ListViewSetItemSelected(HWND listView, int index, BOOL on)
{
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = on ? LVIS_SELECTED : 0;
    return SendMessageA(listView, LVM_SETITEMSTATE, WPARAM(index), reinterpret_cast<LPARAM>(&item));
}

int ListViewSelectAll(HWND listView, BOOL on)
{
    int count = int(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        ListViewSetItemSelected(listView, i, on);
    return count;
}

HIMAGELIST LoadImageList(HINSTANCE module, UINT bitmapId, int cx, int cy, COLORREF mask)
{
    HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(bitmapId));
    if (!bitmap)
        return nullptr;
    HIMAGELIST list = ImageList_Create(cx, cy, ILC_MASK | ILC_COLOR4, 4, 4);
    if (list)
        ImageList_AddMasked(list, bitmap, mask);
    DeleteObject(bitmap);
    return list;
}
