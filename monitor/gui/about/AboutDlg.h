#pragma once
// The About box: the program's picture, name and version, its maker and a link
// to the maker's web page.
#include "Dialog.h"
#include "LinkLabel.h"

class CAboutDlg : public CDialog {
public:
    RUNTIME_CLASS_DECLARE(CAboutDlg)
public:
    explicit CAboutDlg(CWnd* parent = nullptr);
    BOOL OnInitDialog() override;

    CLinkLabel m_link;
};
