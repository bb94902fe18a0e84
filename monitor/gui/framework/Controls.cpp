#include "Controls.h"

RUNTIME_CLASS_IMPLEMENT(CStatic, CWnd)
RUNTIME_CLASS_IMPLEMENT(CButton, CWnd)
RUNTIME_CLASS_IMPLEMENT(CEdit, CWnd)
RUNTIME_CLASS_IMPLEMENT(CComboBox, CWnd)

BOOL CStatic::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create("STATIC", text, style, rect, parent, id);
}

BOOL CButton::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create("BUTTON", text, style, rect, parent, id);
}

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create("EDIT", "", style, rect, parent, id);
}

void CEdit::SetSel(int start, int end, BOOL noScroll)
{
    SendMessage(EM_SETSEL, WPARAM(start), LPARAM(end));
    if (!noScroll)
        SendMessage(EM_SCROLLCARET);
}

void CEdit::GetSel(int& start, int& end) const
{
    DWORD s = 0, e = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    start = int(s);
    end = int(e);
}

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create("COMBOBOX", "", style, rect, parent, id);
}

std::string CComboBox::GetLBText(int index) const
{
    LRESULT length = SendMessage(CB_GETLBTEXTLEN, WPARAM(index));
    if (length == CB_ERR)
        return {};
    std::string text(std::size_t(length) + 1, '\0');
    LRESULT copied = SendMessage(CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == CB_ERR ? 0 : std::size_t(copied));
    return text;
}
