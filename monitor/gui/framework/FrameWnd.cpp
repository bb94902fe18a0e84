#include "FrameWnd.h"

#include <commctrl.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "CmdUI.h"
#include "MiniDockFrameWnd.h"
#include "StatusBar.h"
#include "ToolBar.h"
#include "WinApp.h"

RUNTIME_CLASS_IMPLEMENT(CFrameWnd, CWnd)

static_assert(sizeof(void*) == 4, "menus travel as 32-bit control ids");

const CRect CFrameWnd::rectDefault(int(CW_USEDEFAULT), int(CW_USEDEFAULT), 0, 0);

std::string CommandPrompt(UINT id)
{
    std::string text = LoadResString(id);
    return text.substr(0, text.find('\n'));
}

std::string CommandTip(UINT id)
{
    std::string text = LoadResString(id);
    auto newline = text.find('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

CFrameWnd::CFrameWnd()
{
    AddIdleHandler(this);
}

CFrameWnd::~CFrameWnd()
{
    RemoveIdleHandler(this);
    DestroyWindowFromDestructor();  // still a frame here: its handlers see the destruction
    if (m_hMenuDefault)
        DestroyMenu(m_hMenuDefault);
}

const MessageMap* CFrameWnd::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnWmCreate<&CFrameWnd::OnCreate>(),
        OnWmSize<&CFrameWnd::OnSize>(),
        OnWmClose<&CFrameWnd::OnClose>(),
        OnWmDestroy<&CFrameWnd::OnDestroy>(),
        OnWmSetFocus<&CFrameWnd::OnSetFocus>(),
        OnMessage<WM_INITMENUPOPUP, &CFrameWnd::OnInitMenuPopup>(),
        OnMessage<WM_MENUSELECT, &CFrameWnd::OnMenuSelect>(),
        OnCommandRange<ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, &CFrameWnd::OnBarCheck>(),
        OnUpdateCommand<ID_VIEW_TOOLBAR, &CFrameWnd::OnUpdateControlBarMenu>(),
        OnUpdateCommand<ID_VIEW_STATUS_BAR, &CFrameWnd::OnUpdateControlBarMenu>(),
        OnUpdateCommand<ID_INDICATOR_CAPS, &CFrameWnd::OnUpdateKeyIndicator>(),
        OnUpdateCommand<ID_INDICATOR_NUM, &CFrameWnd::OnUpdateKeyIndicator>(),
        OnUpdateCommand<ID_INDICATOR_SCRL, &CFrameWnd::OnUpdateKeyIndicator>(),
        OnNotifyAny<TTN_GETDISPINFOA, &CFrameWnd::OnToolTipText>(),
        OnNotifyAny<TTN_GETDISPINFOW, &CFrameWnd::OnToolTipText>(),
        OnNotifyAny<TBN_HOTITEMCHANGE, &CFrameWnd::OnHotItemChange>(),
    };
    static const MessageMap map = MakeMessageMap(CWnd::GetMessageMap(), entries);
    return &map;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!cs.lpszClass) {
        HICON icon = m_nIDResource ? LoadIconA(ResourceHandle(), MAKEINTRESOURCEA(m_nIDResource))
                                   : nullptr;
        cs.lpszClass = RegisterWndClass(CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW),
                                        reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), icon);
    }
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    return TRUE;
}

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent)
{
    m_nIDResource = resourceId;
    std::string title = CommandPrompt(resourceId);
    LoadAccelTable(resourceId);
    return CreateFrame(nullptr, title.c_str(), style & ~FWS_ADDTOTITLE, rectDefault, parent,
                       LoadMenuA(ResourceHandle(), MAKEINTRESOURCEA(resourceId)), 0);
}

BOOL CFrameWnd::Create(const char* className, const char* title, DWORD style, const RECT& rect,
                       CWnd* parent, const char* menuName, DWORD exStyle)
{
    return CreateFrame(className, title, style, rect, parent,
                       menuName ? LoadMenuA(ResourceHandle(), menuName) : nullptr, exStyle);
}

BOOL CFrameWnd::CreateFrame(const char* className, const char* title, DWORD style, const RECT& rect,
                            CWnd* parent, HMENU menu, DWORD exStyle)
{
    if (menu) {
        if (m_hMenuDefault)
            DestroyMenu(m_hMenuDefault);
        m_hMenuDefault = menu;
    }
    bool deleted = false;
    if (!CreateWindowObject(exStyle, className, title, style, rect,
                            parent ? parent->m_hWnd : nullptr, menu, deleted)) {
        if (!deleted)
            delete this;  // a frame that failed is gone, whichever way it failed
        return FALSE;
    }
    SetMessageText(IDS_IDLEMESSAGE);
    RecalcLayout();
    return TRUE;
}

BOOL CFrameWnd::LoadAccelTable(UINT id)
{
    HACCEL table = LoadAcceleratorsA(ResourceHandle(), MAKEINTRESOURCEA(id));
    if (table)
        m_hAccelTable = table;
    return table != nullptr;
}

void CFrameWnd::PostNcDestroy()
{
    delete this;
}

LRESULT CFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCDESTROY) {
        // Menus are owned by their objects, never by the window that shows them.
        ::SetMenu(m_hWnd, nullptr);
        if (m_hMenuDefault) {
            DestroyMenu(m_hMenuDefault);
            m_hMenuDefault = nullptr;
        }
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

int CFrameWnd::OnCreate(CREATESTRUCTA*)
{
    return int(Default());
}

void CFrameWnd::OnSize(UINT type, int, int)
{
    if (type != SIZE_MINIMIZED)
        RecalcLayout();
}

void CFrameWnd::OnClose()
{
    DestroyWindow();
}

void CFrameWnd::OnDestroy()
{
    Default();
}

void CFrameWnd::OnSetFocus(HWND)
{
    if (HWND pane = GetDlgItem(IDW_PANE_FIRST))
        ::SetFocus(pane);
}

std::vector<CControlBar*> CFrameWnd::AllControlBars() const
{
    std::vector<CControlBar*> bars;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (auto* bar = dynamic_cast<CControlBar*>(FromHandle(child)))
            bars.push_back(bar);
    for (CControlBar* bar : m_dockBars)
        if (bar->IsFloating() && bar->m_hWnd)
            bars.push_back(bar);
    return bars;
}

CControlBar* CFrameWnd::GetControlBar(UINT id) const
{
    for (CControlBar* bar : AllControlBars())
        if (UINT(::GetDlgCtrlID(bar->m_hWnd)) == id)
            return bar;
    return nullptr;
}

void CFrameWnd::RecalcLayout()
{
    if (!m_hWnd || m_inLayout)
        return;
    m_inLayout = true;
    CRect free = GetClientRect();
    // The fixed bars (the status bar) take the edges first: docked bars lie inside them.
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (auto* bar = dynamic_cast<CControlBar*>(FromHandle(child)))
            if (bar->GetDockSite() != this && ::IsWindowVisible(child))
                bar->Reposition(free);
    for (CControlBar* bar : m_dockBars)
        if (!bar->IsFloating() && bar->IsShown())
            bar->Reposition(free);
    if (HWND pane = GetDlgItem(IDW_PANE_FIRST))
        ::MoveWindow(pane, free.left, free.top, free.Width(), free.Height(), TRUE);
    m_inLayout = false;
}

void CFrameWnd::ShowControlBar(CControlBar* bar, BOOL show)
{
    if (!bar)
        return;
    CWnd* window = bar->IsFloating() ? static_cast<CWnd*>(bar->GetFloatingFrame()) : bar;
    window->ShowWindow(show ? SW_SHOWNOACTIVATE : SW_HIDE);
    RecalcLayout();
}

void CFrameWnd::DockControlBar(CControlBar* bar, DockSide side)
{
    assert(bar && bar->m_hWnd && side != DockSide::Floating);
    bool shown = bar->IsShown();
    RemoveControlBar(bar);
    m_dockBars.push_back(bar);  // the latest docked lies innermost
    bar->m_dockSite = this;
    if (bar->IsFloating()) {
        ::SetParent(bar->m_hWnd, m_hWnd);
        bar->GetFloatingFrame()->ShowWindow(SW_HIDE);
    }
    bar->m_dockSide = side;
    bar->OnDockSideChanged();
    bar->ShowWindow(shown ? SW_SHOWNOACTIVATE : SW_HIDE);
    RecalcLayout();
}

void CFrameWnd::FloatControlBar(CControlBar* bar, POINT topLeft)
{
    assert(bar && bar->m_hWnd);
    bool shown = bar->IsShown();
    if (!bar->m_floatingFrame) {
        auto floating = std::make_unique<CMiniDockFrameWnd>(*bar);
        if (!floating->Create(this))
            return;  // the bar stays where it is
        bar->m_floatingFrame = std::move(floating);
    }
    if (std::find(m_dockBars.begin(), m_dockBars.end(), bar) == m_dockBars.end())
        m_dockBars.push_back(bar);
    bar->m_dockSite = this;
    bar->m_dockSide = DockSide::Floating;
    bar->OnDockSideChanged();
    CMiniDockFrameWnd* floating = bar->GetFloatingFrame();
    ::SetParent(bar->m_hWnd, floating->m_hWnd);
    bar->ShowWindow(SW_SHOWNOACTIVATE);
    floating->FitAround(topLeft);
    floating->ShowWindow(shown ? SW_SHOWNOACTIVATE : SW_HIDE);
    RecalcLayout();
}

void CFrameWnd::RemoveControlBar(CControlBar* bar)
{
    m_dockBars.erase(std::remove(m_dockBars.begin(), m_dockBars.end(), bar), m_dockBars.end());
}

CRect CFrameWnd::GetDockArea() const
{
    CRect area = GetClientRect();
    MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

void CFrameWnd::SetMessageText(const char* text)
{
    if (auto* status = dynamic_cast<CStatusBar*>(GetControlBar(IDW_STATUS_BAR)))
        status->SetPaneText(0, text);
}

void CFrameWnd::SetMessageText(UINT stringId)
{
    SetMessageText(LoadResString(stringId).c_str());
}

void CFrameWnd::UpdateControlBars()
{
    for (CControlBar* bar : AllControlBars())
        if (bar->IsWindowVisible())
            bar->OnUpdateCmdUI(this, true);
}

void CFrameWnd::OnIdle()
{
    if (m_hWnd && IsWindowVisible())
        GuardWindowCode([this] {
            UpdateControlBars();
            return LRESULT(0);
        });
}

BOOL CFrameWnd::PreTranslateMessage(MSG* msg)
{
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && m_hAccelTable)
        return TranslateAcceleratorA(m_hWnd, m_hAccelTable, msg) != 0;
    return FALSE;
}

bool CFrameWnd::OnCmdMsg(UINT id, UINT code, CCmdUI* cmdUI, bool probeOnly)
{
    if (DispatchCommand(id, code, cmdUI, probeOnly))
        return true;
    CWinApp* app = GetApp();
    return app && app->OnCmdMsg(id, code, cmdUI, probeOnly);
}

LRESULT CFrameWnd::OnInitMenuPopup(WPARAM wParam, LPARAM lParam)
{
    auto menu = reinterpret_cast<HMENU>(wParam);
    if (HIWORD(lParam))
        return Default();  // the system menu
    CCmdUI ui;
    ui.m_hMenu = menu;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoA(menu, UINT(i), TRUE, &info) || info.hSubMenu ||
            (info.fType & MFT_SEPARATOR) || info.wID == 0)
            continue;
        ui.m_nID = info.wID;
        ui.m_nIndex = UINT(i);
        ui.DoUpdate(this, true);
    }
    return 0;
}

LRESULT CFrameWnd::OnMenuSelect(WPARAM wParam, LPARAM lParam)
{
    UINT item = LOWORD(wParam), flags = HIWORD(wParam);
    if (flags == 0xFFFF && !lParam)
        SetMessageText(IDS_IDLEMESSAGE);  // the menu closed
    else if (flags & (MF_POPUP | MF_SEPARATOR | MF_SYSMENU))
        SetMessageText("");
    else
        SetMessageText(CommandPrompt(item).c_str());
    return 0;
}

void CFrameWnd::OnBarCheck(UINT id)
{
    if (CControlBar* bar = GetControlBar(id))
        ShowControlBar(bar, !bar->IsShown());
}

void CFrameWnd::OnUpdateControlBarMenu(CCmdUI* ui)
{
    CControlBar* bar = GetControlBar(ui->m_nID);
    ui->Enable(bar != nullptr);
    ui->SetCheck(bar && bar->IsShown());
}

void CFrameWnd::OnUpdateKeyIndicator(CCmdUI* ui)
{
    int key = ui->m_nID == ID_INDICATOR_CAPS ? VK_CAPITAL
              : ui->m_nID == ID_INDICATOR_NUM ? VK_NUMLOCK
                                              : VK_SCROLL;
    ui->Enable((GetKeyState(key) & 1) != 0);
}

void CFrameWnd::OnToolTipText(NMHDR* header, LRESULT* result)
{
    *result = 0;
    if (header->idFrom == 0)
        return;
    std::string tip = CommandTip(UINT(header->idFrom));
    if (header->code == TTN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        lstrcpynA(info->szText, tip.c_str(), int(sizeof info->szText));
    } else {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        MultiByteToWideChar(CP_ACP, 0, tip.c_str(), -1, info->szText,
                            int(sizeof info->szText / sizeof info->szText[0]));
        info->szText[sizeof info->szText / sizeof info->szText[0] - 1] = 0;
    }
}

void CFrameWnd::OnHotItemChange(NMHDR* header, LRESULT* result)
{
    *result = 0;
    auto* bar = dynamic_cast<CToolBar*>(FromHandle(header->hwndFrom));
    if (!bar || !(bar->GetBarStyle() & CBRS_FLYBY))
        return;
    auto* hot = reinterpret_cast<NMTBHOTITEM*>(header);
    if (hot->dwFlags & HICF_LEAVING)
        SetMessageText(IDS_IDLEMESSAGE);
    else
        SetMessageText(CommandPrompt(UINT(hot->idNew)).c_str());
}
