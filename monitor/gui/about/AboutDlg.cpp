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
    return TRUE;
}
