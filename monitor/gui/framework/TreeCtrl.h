#pragma once
// The tree-view control.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Wnd.h"

class CImageList;

class CTreeCtrl : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CTreeCtrl)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // imageListType: TVSIL_NORMAL or TVSIL_STATE; returns the previous list.
    HIMAGELIST SetImageList(CImageList* list, int imageListType);
    HTREEITEM InsertItem(const TVINSERTSTRUCTA& insert);
    HTREEITEM InsertItem(const char* text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
    BOOL DeleteAllItems() { return BOOL(SendMessage(TVM_DELETEITEM, 0, LPARAM(TVI_ROOT))); }

    DWORD_PTR GetItemData(HTREEITEM item) const;
    BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
    UINT GetItemState(HTREEITEM item, UINT mask) const;
    BOOL SetItemState(HTREEITEM item, UINT state, UINT mask);
    std::string GetItemText(HTREEITEM item) const;

    HTREEITEM GetRootItem() const { return GetNext(nullptr, TVGN_ROOT); }
    HTREEITEM GetChildItem(HTREEITEM item) const { return GetNext(item, TVGN_CHILD); }
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNext(item, TVGN_NEXT); }
    HTREEITEM GetParentItem(HTREEITEM item) const { return GetNext(item, TVGN_PARENT); }
    HTREEITEM GetSelectedItem() const { return GetNext(nullptr, TVGN_CARET); }
    BOOL SelectItem(HTREEITEM item) { return BOOL(SendMessage(TVM_SELECTITEM, TVGN_CARET, LPARAM(item))); }
    UINT GetCount() const { return UINT(SendMessage(TVM_GETCOUNT)); }
    // The item at a client point; flags receives TVHT_ONITEMSTATEICON and the like.
    HTREEITEM HitTest(POINT point, UINT* flags = nullptr) const;
    // The item whose state image was under the mouse when the message being
    // handled was posted (NM_CLICK carries no point), or null.
    HTREEITEM StateImageHitAtMessagePos() const;

private:
    HTREEITEM GetNext(HTREEITEM item, UINT code) const
    {
        return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, code, LPARAM(item)));
    }
};
