#include "DemoFrame.h"

#include "DemoApp.h"
#include "DemoIds.h"
#include "MessageBox.h"

namespace {

int g_live = 0;

const UINT indicators[] = {ID_SEPARATOR, ID_SEPARATOR, ID_INDICATOR_CAPS, ID_INDICATOR_NUM,
                           ID_INDICATOR_SCRL};

}  // namespace

CDemoFrame::CDemoFrame()
{
    ++g_live;
}

CDemoFrame::~CDemoFrame()
{
    --g_live;
}

int CDemoFrame::LiveCount()
{
    return g_live;
}

const MessageMap* CDemoFrame::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnWmCreate<&CDemoFrame::OnCreate>(),
        OnWmClose<&CDemoFrame::OnClose>(),
        OnWmHelp<&CDemoFrame::OnHelp>(),
        OnCommand<ID_NOTE_CLEAR, &CDemoFrame::OnNoteClear>(),
        OnUpdateCommand<ID_NOTE_CLEAR, &CDemoFrame::OnUpdateNoteClear>(),
        OnCommand<ID_NOTE_LOCK, &CDemoFrame::OnNoteLock>(),
        OnUpdateCommand<ID_NOTE_LOCK, &CDemoFrame::OnUpdateNoteLock>(),
        OnCommand<ID_EDIT_COPY, &CDemoFrame::OnEditCopy>(),
        OnUpdateCommand<ID_EDIT_COPY, &CDemoFrame::OnUpdateEditCopy>(),
    };
    static const MessageMap map = MakeMessageMap(CFrameWnd::GetMessageMap(), entries);
    return &map;
}

int CDemoFrame::OnCreate(CREATESTRUCTA* cs)
{
    if (CFrameWnd::OnCreate(cs) == -1)
        return -1;
    SetIcon(GetApp()->LoadIcon(IDR_MAINFRAME), TRUE);
    ModifyStyleEx(WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED);
    EnableDocking(CBRS_ALIGN_ANY);

    if (!m_notes.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                            ES_READONLY | ES_DISABLENOSCROLL,
                        CRect(), this, IDW_PANE_FIRST))
        return -1;
    m_notes.ModifyStyleEx(0, WS_EX_CLIENTEDGE, SWP_FRAMECHANGED);
    m_notes.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));

    if (!m_statusBar.Create(this) || !m_statusBar.SetIndicators(indicators, 5))
        return -1;
    m_statusBar.SetPaneInfo(0, ID_SEPARATOR, SBPS_STRETCH | SBPS_NOBORDERS, 100);
    m_statusBar.SetPaneInfo(1, ID_SEPARATOR, SBPS_NORMAL, 80);
    ShowCount();

    if (!m_toolBar.CreateEx(this, TBSTYLE_FLAT,
                            WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_TOOLTIPS | CBRS_FLYBY |
                                CBRS_SIZE_DYNAMIC) ||
        !m_toolBar.LoadToolBar(IDR_MAINFRAME))
        return -1;
    m_toolBar.EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(&m_toolBar);
    return 0;
}

BOOL CDemoFrame::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
        ++m_escapes;
        SetMessageText("Esc pressed");
        return TRUE;
    }
    return CFrameWnd::PreTranslateMessage(msg);
}

void CDemoFrame::OnClose()
{
    if (AppMessageBox(IDS_CLOSE_QUESTION, MB_OKCANCEL | MB_ICONQUESTION) == IDOK)
        DestroyWindow();
}

BOOL CDemoFrame::OnHelp(HELPINFO*)
{
    GetApp()->OpenHelpTopic("frame.htm");
    return TRUE;
}

void CDemoFrame::AddNote(const std::string& text, COLORREF colour)
{
    long end = m_notes.GetTextLength();
    m_notes.SetSel(end, end);
    CHARFORMATA format{};
    format.dwMask = CFM_COLOR;
    format.crTextColor = colour;
    m_notes.SetSelectionCharFormat(format);
    m_notes.ReplaceSel((text + "\r\n").c_str());
    ++m_count;
    ShowCount();
}

void CDemoFrame::ShowCount()
{
    m_statusBar.SetPaneText(1, (std::to_string(m_count) + (m_count == 1 ? " note" : " notes")).c_str());
}

void CDemoFrame::OnNoteClear()
{
    if (m_locked)
        return;
    m_notes.SetWindowText("");
    m_count = 0;
    ShowCount();
}

void CDemoFrame::OnUpdateNoteClear(CCmdUI* ui)
{
    ui->Enable(!m_locked && m_notes.GetTextLength() > 0);
}

void CDemoFrame::OnNoteLock()
{
    m_locked = !m_locked;
}

void CDemoFrame::OnUpdateNoteLock(CCmdUI* ui)
{
    ui->SetCheck(m_locked);
}

void CDemoFrame::OnEditCopy()
{
    m_notes.Copy();
}

void CDemoFrame::OnUpdateEditCopy(CCmdUI* ui)
{
    long start = 0, end = 0;
    m_notes.GetSel(start, end);
    ui->Enable(end > start);
}
