#include "StatusBar.h"

#include <commctrl.h>

#include "FrameWnd.h"

RUNTIME_CLASS_IMPLEMENT(CStatusBar, CControlBar)

BOOL CStatusBar::Create(CWnd* parent, DWORD style, UINT id)
{
    SetBarStyle(style);
    DWORD windowStyle = WindowStyle(style) | WS_CHILD | CCS_BOTTOM;
    if (parent && (parent->GetStyle() & WS_THICKFRAME))
        windowStyle |= SBARS_SIZEGRIP;
    return CreateEx(0, STATUSCLASSNAMEA, "", windowStyle, CRect(), parent, id);
}

int CStatusBar::TextWidth(const std::string& text) const
{
    HDC dc = ::GetDC(m_hWnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &size);
    SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    return size.cx;
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count)
{
    m_panes.clear();
    for (int i = 0; i < count; ++i) {
        Pane pane{ids[i], SBPS_NORMAL, 0, {}};
        if (pane.id != ID_SEPARATOR) {
            pane.text = LoadResString(pane.id);
            pane.width = TextWidth(pane.text);
        }
        m_panes.push_back(pane);
    }
    if (!m_panes.empty() && m_panes[0].id == ID_SEPARATOR)
        m_panes[0].style = SBPS_NOBORDERS | SBPS_STRETCH;
    UpdateParts();
    return TRUE;
}

void CStatusBar::SetPaneInfo(int index, UINT id, UINT style, int width)
{
    if (index < 0 || index >= GetCount())
        return;
    m_panes[index].id = id;
    m_panes[index].style = style;
    m_panes[index].width = width;
    UpdateParts();
}

void CStatusBar::GetPaneInfo(int index, UINT& id, UINT& style, int& width) const
{
    const Pane& pane = m_panes.at(index);
    id = pane.id;
    style = pane.style;
    width = pane.width;
}

UINT CStatusBar::GetPaneStyle(int index) const
{
    return m_panes.at(index).style;
}

void CStatusBar::SetPaneStyle(int index, UINT style)
{
    if (index < 0 || index >= GetCount() || m_panes[index].style == style)
        return;
    bool reflow = ((m_panes[index].style ^ style) & SBPS_STRETCH) != 0;
    m_panes[index].style = style;
    if (reflow)
        UpdateParts();
    else
        ShowPane(index);
}

BOOL CStatusBar::SetPaneText(int index, const char* text, BOOL update)
{
    if (index < 0 || index >= GetCount())
        return FALSE;
    std::string value = text ? text : "";
    if (m_panes[index].text == value)
        return TRUE;
    m_panes[index].text = value;
    ShowPane(index);
    if (update)
        ::UpdateWindow(m_hWnd);
    return TRUE;
}

std::string CStatusBar::GetPaneText(int index) const
{
    return index >= 0 && index < GetCount() ? m_panes[index].text : std::string();
}

int CStatusBar::CommandToIndex(UINT id) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (m_panes[i].id == id)
            return i;
    return -1;
}

void CStatusBar::ShowPane(int index)
{
    const Pane& pane = m_panes[index];
    const char* text = (pane.style & SBPS_DISABLED) ? "" : pane.text.c_str();
    ::SendMessageA(m_hWnd, SB_SETTEXTA, WPARAM(index | (pane.style & (SBT_NOBORDERS | SBT_POPOUT))),
                   reinterpret_cast<LPARAM>(text));
}

void CStatusBar::UpdateParts()
{
    if (!m_hWnd || m_panes.empty())
        return;
    // Pixels that the control draws around a part's text, and the size grip.
    const int padding = 2 * GetSystemMetrics(SM_CXEDGE) + 4;
    int grip = (GetStyle() & SBARS_SIZEGRIP) ? GetSystemMetrics(SM_CXVSCROLL) : 0;
    int fixed = 0, stretching = 0;
    for (const Pane& pane : m_panes) {
        if (pane.style & SBPS_STRETCH)
            ++stretching;
        fixed += pane.width + padding;
    }
    int extra = GetClientRect().Width() - grip - fixed;
    std::vector<int> edges;
    int x = 0;
    for (const Pane& pane : m_panes) {
        x += pane.width + padding;
        if ((pane.style & SBPS_STRETCH) && extra > 0)
            x += extra / stretching;
        edges.push_back(x);
    }
    edges.back() = -1;  // the last part runs to the edge (under the grip)
    ::SendMessageA(m_hWnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    for (int i = 0; i < GetCount(); ++i)
        ShowPane(i);
}

void CStatusBar::Reposition(RECT& free)
{
    // The control puts itself along its parent's bottom edge at its own height.
    ::SendMessageA(m_hWnd, WM_SIZE, 0, 0);
    UpdateParts();
    free.bottom -= GetWindowRect().Height();
    if (free.bottom < free.top)
        free.bottom = free.top;
}

void CStatusBar::OnUpdateCmdUI(CFrameWnd* target, bool)
{
    // An indicator that nobody updates keeps its text.
    CStatusCmdUI ui(*this);
    ui.m_hOther = m_hWnd;
    for (int i = 0; i < GetCount(); ++i) {
        if (m_panes[i].id == ID_SEPARATOR)
            continue;
        ui.m_nID = m_panes[i].id;
        ui.m_nIndex = UINT(i);
        ui.DoUpdate(target, false);
    }
}

void CStatusCmdUI::Enable(BOOL on)
{
    CCmdUI::Enable(on);
    UINT style = m_bar.GetPaneStyle(int(m_nIndex));
    m_bar.SetPaneStyle(int(m_nIndex), on ? style & ~SBPS_DISABLED : style | SBPS_DISABLED);
}

void CStatusCmdUI::SetCheck(int check)
{
    UINT style = m_bar.GetPaneStyle(int(m_nIndex));
    m_bar.SetPaneStyle(int(m_nIndex), check ? style | SBPS_POPOUT : style & ~SBPS_POPOUT);
}

void CStatusCmdUI::SetText(const char* text)
{
    m_bar.SetPaneText(int(m_nIndex), text);
}
