#include "EventsPage.h"

#include "CharFormatConversion.h"
#include "CommonDialogs.h"
#include "DataExchange.h"
#include "DlgItems.h"
#include "PrefsResourceIds.h"
#include "WinApp.h"

RUNTIME_CLASS_IMPLEMENT(CEventsPage, CPropertyPage)

CEventsPage::CEventsPage(MonitorSettings& live) : CPropertyPage(IDD_PREFS_EVENTS), m_live(live)
{
    m_states.Create(IDB_EVENT_STATES, 16, 1, RGB(255, 0, 255));
}

const MessageMap* CEventsPage::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnCommand<IDC_CHANGE_FONT, &CEventsPage::OnChangeFont>(),
        OnNotify<TVN_SELCHANGEDA, IDC_EVENT_TREE, &CEventsPage::OnSelChanged>(),
        OnNotify<NM_CLICK, IDC_EVENT_TREE, &CEventsPage::OnTreeClick>(),
        OnNotify<NM_DBLCLK, IDC_EVENT_TREE, &CEventsPage::OnTreeClick>(),
        OnWmCtlColor<&CEventsPage::OnCtlColor>(),
        OnWmHelp<&CEventsPage::OnHelp>(),
    };
    static const MessageMap map = MakeMessageMap(CPropertyPage::GetMessageMap(), entries);
    return &map;
}

BOOL CEventsPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();  // binds the tree
    m_tree.SetImageList(&m_states, TVSIL_STATE);
    for (SeverityEntry* entry : {&m_live.Info, &m_live.Warning, &m_live.Error}) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
        insert.item.pszText = const_cast<char*>(entry->DisplayName.c_str());
        insert.item.lParam = reinterpret_cast<LPARAM>(entry);
        insert.item.state = INDEXTOSTATEIMAGEMASK(entry->Log ? 2 : 1);
        insert.item.stateMask = TVIS_STATEIMAGEMASK;
        m_tree.InsertItem(insert);
    }
    ShowSample();  // nothing is selected yet
    return TRUE;
}

void CEventsPage::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_EVENT_TREE, m_tree);
    if (!dx->m_bSaveAndValidate)
        return;
    for (HTREEITEM item = m_tree.GetRootItem(); item; item = m_tree.GetNextSiblingItem(item))
        reinterpret_cast<SeverityEntry*>(m_tree.GetItemData(item))->Log = GetCheck(item) == 1 ? 1 : 0;
}

int CEventsPage::GetCheck(HTREEITEM item) const
{
    return int(m_tree.GetItemState(item, TVIS_STATEIMAGEMASK) >> 12) - 1;
}

void CEventsPage::SetCheck(HTREEITEM item, int value)
{
    m_tree.SetItemState(item, INDEXTOSTATEIMAGEMASK(value + 1), TVIS_STATEIMAGEMASK);
}

void CEventsPage::SetChildrenChecks(HTREEITEM parent, int value)
{
    for (HTREEITEM child = m_tree.GetChildItem(parent); child; child = m_tree.GetNextSiblingItem(child)) {
        SetCheck(child, value);
        SetChildrenChecks(child, value);
    }
}

int CEventsPage::ChildrenCheck(HTREEITEM parent) const
{
    int common = -1;
    for (HTREEITEM child = m_tree.GetChildItem(parent); child; child = m_tree.GetNextSiblingItem(child)) {
        int value = GetCheck(child);
        if (common >= 0 && value != common)
            return 2;
        common = value;
    }
    return common < 0 ? 0 : common;
}

void CEventsPage::OnTreeClick(NMHDR*, LRESULT* result)
{
    HTREEITEM item = m_tree.StateImageHitAtMessagePos();
    if (!item)
        return;
    *result = 1;
    int value = GetCheck(item) == 0 ? 1 : 0;
    SetCheck(item, value);
    if (HTREEITEM parent = m_tree.GetParentItem(item))
        SetCheck(parent, ChildrenCheck(parent));
    SetChildrenChecks(item, value);
}

SeverityEntry* CEventsPage::SelectedEntry() const
{
    HTREEITEM item = m_tree.GetSelectedItem();
    return item ? reinterpret_cast<SeverityEntry*>(m_tree.GetItemData(item)) : nullptr;
}

void CEventsPage::ShowSample()
{
    SeverityEntry* entry = SelectedEntry();
    ShowDlgItem(m_hWnd, IDC_SAMPLE, entry ? SW_SHOW : SW_HIDE);
    EnableDlgItem(m_hWnd, IDC_CHANGE_FONT, entry != nullptr);
    if (!entry)
        return;
    LOGFONTA font{};
    CharFormatToLogFont(font, entry->CharFormat);
    CFont sample;
    sample.CreateFontIndirect(font);
    SendDlgItemMessage(IDC_SAMPLE, WM_SETFONT, reinterpret_cast<WPARAM>(HFONT(sample)), TRUE);
    m_sampleFont.Attach(sample.Detach());  // the previous sample font goes only now
}

void CEventsPage::OnSelChanged(NMHDR*, LRESULT*)
{
    ShowSample();
}

void CEventsPage::OnChangeFont()
{
    SeverityEntry* entry = SelectedEntry();
    if (!entry)
        return;
    LOGFONTA font{};
    CharFormatToLogFont(font, entry->CharFormat);
    CFontDialog dialog(&font, CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT, this);
    dialog.m_cf.rgbColors = entry->CharFormat.crTextColor;
    if (dialog.DoModal() != IDOK)
        return;
    LOGFONTA chosen{};
    dialog.GetCurrentFont(chosen);
    LogFontToCharFormat(entry->CharFormat, chosen);
    entry->CharFormat.crTextColor = dialog.GetColor();
    ShowSample();
}

HBRUSH CEventsPage::OnCtlColor(HDC dc, HWND control, UINT type)
{
    auto brush = reinterpret_cast<HBRUSH>(Default());
    if (control == GetDlgItem(IDC_SAMPLE))
        if (SeverityEntry* entry = SelectedEntry())
            ::SetTextColor(dc, entry->CharFormat.crTextColor);
    return brush;
}

BOOL CEventsPage::OnHelp(HELPINFO*)
{
    if (CWinApp* app = GetApp())
        app->OpenHelpTopic("pm_preferences_events.htm");
    return TRUE;
}
