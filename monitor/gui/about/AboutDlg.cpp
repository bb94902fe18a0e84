#include "AboutDlg.h"

#include <string>

#include "AboutResourceIds.h"
#include "VersionInfo.h"

RUNTIME_CLASS_IMPLEMENT(CAboutDlg, CDialog)

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    std::string version = CVersionInfo(nullptr).VersionInfoGetString("ProductVersion");
    SetDlgItemText(IDC_ABOUT_VERSION, ("Version " + version).c_str());
    m_link.SubclassDlgItem(IDC_ABOUT_LINK, this);
    // Drawn on the dialog's own face: the picture's grey background becomes it.
    m_picture.LoadSysColorBitmap(IDB_ABOUT);
    ::SendDlgItemMessageA(m_hWnd, IDC_ABOUT_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(m_picture.GetSafeHandle()));
    return TRUE;
}
