#include "SettingsPages.h"

#include <mmsystem.h>

#include "CommonDialogs.h"
#include "DataExchange.h"
#include "DemoIds.h"
#include "DlgItems.h"
#include "Shell.h"

CGeneralPage::CGeneralPage(const DemoSettings& settings)
    : CPropertyPage(IDD_PAGE_GENERAL),
      m_prefix(settings.prefix),
      m_writeFile(settings.writeFile),
      m_filePath(settings.filePath)
{
}

const MessageMap* CGeneralPage::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnCommand<IDC_WRITE_FILE, &CGeneralPage::OnWriteFile>(),
        OnCommand<IDC_BROWSE, &CGeneralPage::OnBrowse>(),
        OnCommand<IDC_PLAY, &CGeneralPage::OnPlay>(),
        OnWmHelp<&CGeneralPage::OnHelp>(),
    };
    static const MessageMap map = MakeMessageMap(CPropertyPage::GetMessageMap(), entries);
    return &map;
}

BOOL CGeneralPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    ApplyFileRule();
    return TRUE;
}

void CGeneralPage::DoDataExchange(CDataExchange* dx)
{
    DDX_Text(dx, IDC_PREFIX, m_prefix);
    DDX_Check(dx, IDC_WRITE_FILE, m_writeFile);
    DDX_Text(dx, IDC_FILE_PATH, m_filePath);
}

void CGeneralPage::ApplyFileRule()
{
    BOOL on = IsDlgButtonChecked(IDC_WRITE_FILE) == BST_CHECKED;
    EnableDlgItem(m_hWnd, IDC_FILE_PATH, on);
    EnableDlgItem(m_hWnd, IDC_BROWSE, on);
}

void CGeneralPage::OnWriteFile()
{
    ApplyFileRule();
}

void CGeneralPage::OnBrowse()
{
    std::string current = GetDlgItemText(IDC_FILE_PATH);
    CFileDialog dialog(TRUE, "txt", current.c_str(), OFN_HIDEREADONLY,
                       "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||", this);
    if (dialog.DoModal() == IDOK)
        SetDlgItemText(IDC_FILE_PATH, dialog.GetPathName().c_str());
}

void CGeneralPage::OnPlay()
{
    PlaySoundFile("ding.wav", SND_ASYNC);
}

BOOL CGeneralPage::OnHelp(HELPINFO*)
{
    GetApp()->OpenHelpTopic("general.htm");
    return TRUE;
}

CDisplayPage::CDisplayPage(const DemoSettings& settings)
    : CPropertyPage(IDD_PAGE_DISPLAY), m_font(settings.font), m_colour(settings.colour)
{
    for (int i = 0; i < 3; ++i) {
        m_shown[i] = settings.entries[i].shown;
        m_titles[i] = settings.entries[i].title;
    }
}

const MessageMap* CDisplayPage::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnNotify<NM_CLICK, IDC_ENTRIES, &CDisplayPage::OnTreeClick>(),
        OnCommand<IDC_FONT, &CDisplayPage::OnFont>(),
        OnCommand<IDC_PICK_COLOUR, &CDisplayPage::OnPickColour>(),
        OnWmCtlColor<&CDisplayPage::OnCtlColor>(),
        OnWmHelp<&CDisplayPage::OnHelp>(),
    };
    static const MessageMap map = MakeMessageMap(CPropertyPage::GetMessageMap(), entries);
    return &map;
}

BOOL CDisplayPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();  // binds the tree
    m_states.Create(IDB_STATES, 16, 1, RGB(255, 0, 255));
    m_tree.SetImageList(&m_states, TVSIL_STATE);
    for (int i = 0; i < 3; ++i) {
        m_items[i] = m_tree.InsertItem(m_titles[i]);
        m_tree.SetItemState(m_items[i], INDEXTOSTATEIMAGEMASK(m_shown[i] + 1), TVIS_STATEIMAGEMASK);
    }
    ShowSample();
    return TRUE;
}

void CDisplayPage::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_ENTRIES, m_tree);
    if (dx->m_bSaveAndValidate)
        for (int i = 0; i < 3; ++i)
            if (m_items[i])
                m_shown[i] = (m_tree.GetItemState(m_items[i], TVIS_STATEIMAGEMASK) >> 12) == 2;
}

void CDisplayPage::OnTreeClick(NMHDR*, LRESULT* result)
{
    HTREEITEM item = m_tree.StateImageHitAtMessagePos();
    if (!item)
        return;
    UINT state = m_tree.GetItemState(item, TVIS_STATEIMAGEMASK) >> 12;
    m_tree.SetItemState(item, INDEXTOSTATEIMAGEMASK(state == 2 ? 1 : 2), TVIS_STATEIMAGEMASK);
    *result = 1;
}

void CDisplayPage::ShowSample()
{
    m_sampleFont.CreateFontIndirect(m_font);
    SendDlgItemMessage(IDC_SAMPLE, WM_SETFONT, reinterpret_cast<WPARAM>(HFONT(m_sampleFont)), TRUE);
}

void CDisplayPage::OnFont()
{
    CFontDialog dialog(&m_font, CF_SCREENFONTS | CF_EFFECTS, this);
    dialog.m_cf.rgbColors = m_colour;
    if (dialog.DoModal() != IDOK)
        return;
    dialog.GetCurrentFont(m_font);
    m_colour = dialog.GetColor();
    ShowSample();
}

void CDisplayPage::OnPickColour()
{
    CColorDialog dialog(m_colour, CC_FULLOPEN, this);
    if (dialog.DoModal() != IDOK)
        return;
    m_colour = dialog.GetColor();
    ::InvalidateRect(GetDlgItem(IDC_SAMPLE), nullptr, TRUE);
}

HBRUSH CDisplayPage::OnCtlColor(HDC dc, HWND control, UINT type)
{
    auto brush = reinterpret_cast<HBRUSH>(Default());
    if (type == CTLCOLOR_STATIC && control == GetDlgItem(IDC_SAMPLE))
        ::SetTextColor(dc, m_colour);
    return brush;
}

BOOL CDisplayPage::OnHelp(HELPINFO*)
{
    GetApp()->OpenHelpTopic("display.htm");
    return TRUE;
}
