#include "GeneralPage.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <string>

#include "CommonDialogs.h"
#include "DataExchange.h"
#include "DlgItems.h"
#include "MessageBox.h"
#include "PrefsResourceIds.h"
#include "Shell.h"
#include "WinApp.h"

RUNTIME_CLASS_IMPLEMENT(CGeneralPage, CPropertyPage)

namespace {

// The address control: all four fields must be filled to take its value.
void ExchangeAddress(CDataExchange* dx, int id, uint32_t& value)
{
    HWND control = dx->PrepareCtrl(id);
    if (!dx->m_bSaveAndValidate) {
        ::SendMessageA(control, IPM_SETADDRESS, 0, LPARAM(value));
        return;
    }
    DWORD address = 0;
    if (::SendMessageA(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)) != 4) {
        AppMessageBox(IDS_ADDRESS_INCOMPLETE, MB_OK | MB_ICONEXCLAMATION);
        dx->Fail();
    }
    value = address;
}

// A port typed as a signed decimal number, kept as the stored unsigned value.
void ExchangePort(CDataExchange* dx, int id, uint32_t& value)
{
    int number = int(value);
    DDX_Text(dx, id, number);
    value = uint32_t(number);
}

}  // namespace

CGeneralPage::CGeneralPage(GeneralSettings& settings)
    : CPropertyPage(IDD_PREFS_GENERAL),
      m_settings(settings),
      m_browseIcon(LoadSmallIcon(IDI_BROWSE)),
      m_playIcon(LoadSmallIcon(IDI_PLAY)),
      m_browseDisabledIcon(LoadSmallIcon(IDI_BROWSE_DISABLED)),
      m_playDisabledIcon(LoadSmallIcon(IDI_PLAY_DISABLED))
{
}

const MessageMap* CGeneralPage::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnCommand<IDC_WRITE_LOG, &CGeneralPage::OnWriteLogClicked>(),
        OnCommand<IDC_PLAY_SOUND, &CGeneralPage::OnPlaySoundClicked>(),
        OnCommand<IDC_BROWSE_SOUND, &CGeneralPage::OnBrowseSound>(),
        OnCommand<IDC_BROWSE_LOG, &CGeneralPage::OnBrowseLog>(),
        OnCommand<IDC_PLAY_BUTTON, &CGeneralPage::OnPlay>(),
        OnCommand<IDC_NOTIFY_ERRORS, &CGeneralPage::OnNotifyClicked>(),
        OnWmHelp<&CGeneralPage::OnHelp>(),
    };
    static const MessageMap map = MakeMessageMap(CPropertyPage::GetMessageMap(), entries);
    return &map;
}

BOOL CGeneralPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    for (int id : {IDC_BROWSE_SOUND, IDC_BROWSE_LOG, IDC_PLAY_BUTTON}) {
        HWND button = GetDlgItem(id);
        ::SetWindowLongA(button, GWL_STYLE, ::GetWindowLongA(button, GWL_STYLE) | BS_LEFT | BS_TOP);
    }
    ApplyNotifyRule();
    ApplyLogFileRule();
    return TRUE;
}

void CGeneralPage::DoDataExchange(CDataExchange* dx)
{
    DDX_Check(dx, IDC_NOTIFY_ERRORS, m_settings.NotifyOnErrors);
    DDX_Check(dx, IDC_PLAY_SOUND, m_settings.NotifySound);
    DDX_Radio(dx, IDC_POPUP_WINDOW, m_settings.PopupOrBlinkIcon);
    DDX_Text(dx, IDC_SOUND_FILE, m_settings.SoundFileName);
    DDX_Check(dx, IDC_WRITE_LOG, m_settings.WriteLogFile);
    DDX_Text(dx, IDC_LOG_FILE, m_settings.LogFileName);
    DDX_Check(dx, IDC_AUTORUN, m_settings.Autorun);
    DDX_Text(dx, IDC_PREFIX, m_settings.MessagePrefix);
    ExchangeAddress(dx, IDC_LOG_SERVER_IP, m_settings.LogServerIp);
    ExchangePort(dx, IDC_LOG_SERVER_PORT, m_settings.LogServerPort);
}

void CGeneralPage::EnableIconButton(int id, BOOL enable, HICON enabledIcon, HICON disabledIcon)
{
    EnableDlgItem(m_hWnd, id, enable);
    SendDlgItemMessage(id, BM_SETIMAGE, IMAGE_ICON,
                       reinterpret_cast<LPARAM>(enable ? enabledIcon : disabledIcon));
}

void CGeneralPage::ApplyNotifyRule()
{
    BOOL notify = IsDlgButtonChecked(IDC_NOTIFY_ERRORS) == BST_CHECKED;
    for (int id : {IDC_POPUP_WINDOW, IDC_BLINK_ICON, IDC_PLAY_SOUND})
        EnableDlgItem(m_hWnd, id, notify);
    ApplySoundRule();
}

void CGeneralPage::ApplySoundRule()
{
    BOOL active = IsDlgButtonChecked(IDC_NOTIFY_ERRORS) == BST_CHECKED &&
                  IsDlgButtonChecked(IDC_PLAY_SOUND) == BST_CHECKED;
    EnableIconButton(IDC_BROWSE_SOUND, active, m_browseIcon.get(), m_browseDisabledIcon.get());
    EnableIconButton(IDC_PLAY_BUTTON, active, m_playIcon.get(), m_playDisabledIcon.get());
    EnableDlgItem(m_hWnd, IDC_SOUND_FILE, active);
}

void CGeneralPage::ApplyLogFileRule()
{
    BOOL on = IsDlgButtonChecked(IDC_WRITE_LOG) == BST_CHECKED;
    EnableIconButton(IDC_BROWSE_LOG, on, m_browseIcon.get(), m_browseDisabledIcon.get());
    EnableDlgItem(m_hWnd, IDC_LOG_FILE, on);
}

void CGeneralPage::OnWriteLogClicked()
{
    ApplyLogFileRule();
}

void CGeneralPage::OnPlaySoundClicked()
{
    ApplySoundRule();
}

void CGeneralPage::OnNotifyClicked()
{
    ApplyNotifyRule();
}

void CGeneralPage::BrowseInto(int editId, const char* defaultExt, const char* filter)
{
    std::string current = GetDlgItemText(editId);
    CFileDialog dialog(TRUE, defaultExt, current.c_str(), OFN_HIDEREADONLY, filter, this);
    if (dialog.DoModal() == IDOK)
        SetDlgItemText(editId, dialog.GetPathName().c_str());
}

void CGeneralPage::OnBrowseSound()
{
    BrowseInto(IDC_SOUND_FILE, "wav", "WAV files (*.wav)|*.wav|All Files (*.*)|*.*||");
}

void CGeneralPage::OnBrowseLog()
{
    BrowseInto(IDC_LOG_FILE, "log", "Log files (*.log)|*.log|All Files (*.*)|*.*||");
}

void CGeneralPage::OnPlay()
{
    // A file that cannot be played plays nothing; there is nothing to tell.
    PlaySoundFile(GetDlgItemText(IDC_SOUND_FILE).c_str(), SND_ASYNC);
}

BOOL CGeneralPage::OnHelp(HELPINFO*)
{
    if (CWinApp* app = GetApp())
        app->OpenHelpTopic("pm_preferences_general.htm");
    return TRUE;
}
