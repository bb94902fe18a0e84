#include "TreeCtrl.h"

#include "ImageList.h"

RUNTIME_CLASS_IMPLEMENT(CTreeCtrl, CWnd)

BOOL CTreeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create(WC_TREEVIEWA, "", style, rect, parent, id);
}

HIMAGELIST CTreeCtrl::SetImageList(CImageList* list, int imageListType)
{
    return reinterpret_cast<HIMAGELIST>(SendMessage(
        TVM_SETIMAGELIST, WPARAM(imageListType), reinterpret_cast<LPARAM>(list ? list->GetSafeHandle() : nullptr)));
}

HTREEITEM CTreeCtrl::InsertItem(const TVINSERTSTRUCTA& insert)
{
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

HTREEITEM CTreeCtrl::InsertItem(const char* text, HTREEITEM parent, HTREEITEM after)
{
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>(text);
    return InsertItem(insert);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const
{
    TVITEMA tv{};
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    SendMessage(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return DWORD_PTR(tv.lParam);
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data)
{
    TVITEMA tv{};
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    tv.lParam = LPARAM(data);
    return BOOL(SendMessage(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv)));
}

UINT CTreeCtrl::GetItemState(HTREEITEM item, UINT mask) const
{
    return UINT(SendMessage(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), LPARAM(mask)));
}

BOOL CTreeCtrl::SetItemState(HTREEITEM item, UINT state, UINT mask)
{
    TVITEMA tv{};
    tv.mask = TVIF_STATE | TVIF_HANDLE;
    tv.hItem = item;
    tv.state = state;
    tv.stateMask = mask;
    return BOOL(SendMessage(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv)));
}

std::string CTreeCtrl::GetItemText(HTREEITEM item) const
{
    char buffer[260] = {};
    TVITEMA tv{};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = buffer;
    tv.cchTextMax = sizeof buffer;
    SendMessage(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return buffer;
}

HTREEITEM CTreeCtrl::HitTest(POINT point, UINT* flags) const
{
    TVHITTESTINFO info{};
    info.pt = point;
    auto item = reinterpret_cast<HTREEITEM>(SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    if (flags)
        *flags = info.flags;
    return item;
}

HTREEITEM CTreeCtrl::StateImageHitAtMessagePos() const
{
    const DWORD where = GetMessagePos();
    POINT point{short(LOWORD(where)), short(HIWORD(where))};
    ::ScreenToClient(m_hWnd, &point);
    UINT flags = 0;
    HTREEITEM item = HitTest(point, &flags);
    return flags & TVHT_ONITEMSTATEICON ? item : nullptr;
}
