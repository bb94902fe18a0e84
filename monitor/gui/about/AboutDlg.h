#pragma once
// The About box: the program's picture, name and version, its maker and a link
// to the maker's web page.
#include "Dialog.h"
#include "Gdi.h"
#include "LinkLabel.h"

class CAboutDlg : public CDialog {
public:
    RUNTIME_CLASS_DECLARE(CAboutDlg)
public:
    explicit CAboutDlg(CWnd* parent = nullptr);
    BOOL OnInitDialog() override;

    CLinkLabel m_link;

private:
    CBitmap m_picture;  // the picture control shows it but does not own it
};
