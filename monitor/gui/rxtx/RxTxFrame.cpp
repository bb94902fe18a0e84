#include "RxTxFrame.h"

#include <cassert>
#include <commctrl.h>

#include "CmdUI.h"
#include "CommonDialogs.h"
#include "LogServiceAddress.h"
#include "MainIconId.h"
#include "MessageMap.h"
#include "QuelIds.h"
#include "RxTxMonitor.h"
#include "WinApp.h"

namespace {

constexpr char kSaveFilter[] = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr char kHelpTopic[] = "pm_hex_dump.htm";

}  // namespace

CRxTxFrame::CRxTxFrame(const char* deviceName) : m_deviceName(deviceName) {}

CRxTxFrame* CRxTxFrame::Open(const std::string& deviceName)
{
    // An empty name filters nothing: the window would show every port's traffic.
    assert(!deviceName.empty());
    auto* frame = new CRxTxFrame(deviceName.c_str());
    if (!frame->Create(nullptr, ("RX/TX data for " + deviceName).c_str(), WS_OVERLAPPEDWINDOW))
        return nullptr;  // the frame is gone
    frame->ShowWindow(SW_SHOW);
    return frame;
}

CRxTxFrame::~CRxTxFrame()
{
    DestroyWindowFromDestructor();  // its WM_DESTROY still reaches this frame's handler
}

const MessageMap* CRxTxFrame::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnWmCreate<&CRxTxFrame::OnCreate>(),
        OnWmDestroy<&CRxTxFrame::OnDestroy>(),
        OnWmSetFocus<&CRxTxFrame::OnSetFocus>(),
        OnCommand<ID_RXTX_SAVE, &CRxTxFrame::OnSave>(),
        OnCommand<ID_RXTX_CLEAR, &CRxTxFrame::OnClear>(),
        OnUpdateCommand<ID_RXTX_CLEAR, &CRxTxFrame::OnUpdateClear>(),
        OnCommand<ID_RXTX_CLOSE, &CRxTxFrame::OnCloseCommand>(),
        OnWmHelp<&CRxTxFrame::OnHelp>(),
    };
    static const MessageMap map = MakeMessageMap(CRxTxFrameBase::GetMessageMap(), entries);
    return &map;
}

BOOL CRxTxFrame::PreCreateWindow(CREATESTRUCTA& cs)
{
    // No background brush: the toolbar and the view cover the client area.
    cs.lpszClass = RegisterWndClass(0, LoadCursor(nullptr, IDC_ARROW), nullptr,
                                    LoadIconA(ResourceHandle(), MAKEINTRESOURCEA(MainIconId())));
    if (!cs.lpszClass || !CRxTxFrameBase::PreCreateWindow(cs))
        return FALSE;
    cs.style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    return TRUE;
}

int CRxTxFrame::OnCreate(CREATESTRUCTA* cs)
{
    if (CRxTxFrameBase::OnCreate(cs) == -1)
        return -1;
    ModifyStyleEx(WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED);

    if (!m_menu.LoadMenu(IDR_RXTX_MENU))
        return -1;
    SetMenu(m_menu);

    if (!m_toolBar.CreateEx(this, TBSTYLE_FLAT,
                            WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_GRIPPER | CBRS_TOOLTIPS |
                                CBRS_FLYBY | CBRS_SIZE_DYNAMIC,
                            CRect(0, 0, 0, 0), IDW_TOOLBAR) ||
        !m_toolBar.LoadToolBar(IDR_RXTX_TOOLBAR))
        return -1;
    m_toolBar.EnableDocking(CBRS_ALIGN_ANY);
    EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(&m_toolBar);

    if (!m_view.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(), this, IDW_PANE_FIRST))
        return -1;
    m_view.ModifyStyleEx(0, WS_EX_CLIENTEDGE, SWP_FRAMECHANGED);

    // Without its link the window opens all the same and stays empty; the
    // link reconnects by itself whatever its first connect gives.
    m_linkObject.reset();  // the old link goes before a new one is made
    m_linkObject.reset(CreateMonitorObject<CRxTxMonitor>());
    if (CRxTxMonitor* monitor = Monitor()) {
        LogServiceAddress server;
        monitor->Connect(&m_view, m_deviceName.c_str(), server.Get());
    }
    return 0;
}

void CRxTxFrame::OnDestroy()
{
    if (CRxTxMonitor* monitor = Monitor())
        monitor->DetachView();
    CRxTxFrameBase::OnDestroy();  // leaves the list
}

void CRxTxFrame::OnSetFocus(HWND lost)
{
    CRxTxFrameBase::OnSetFocus(lost);
    m_view.SetFocus();
}

void CRxTxFrame::OnSave()
{
    CFileDialog dialog(FALSE, "txt", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kSaveFilter, this);
    if (dialog.DoModal() != IDOK)
        return;
    if (!m_view.HexViewSaveText(dialog.GetPathName().c_str()))
        MessageBox(LoadResString(IDS_SAVE_HEXDUMP_FAILED).c_str(), nullptr, MB_ICONERROR);
}

void CRxTxFrame::OnClear()
{
    m_view.HexViewClear();
}

void CRxTxFrame::OnUpdateClear(CCmdUI* ui)
{
    ui->Enable(m_view.used() != 0);
}

void CRxTxFrame::OnCloseCommand()
{
    SendMessage(WM_CLOSE);
}

BOOL CRxTxFrame::OnHelp(HELPINFO*)
{
    if (CWinApp* app = GetApp())
        app->OpenHelpTopic(kHelpTopic);
    return TRUE;
}
