#pragma once
// A chooser that takes the port's name as typed (dialog 145). No command of
// the program opens it.
#include <string>

#include "Dialog.h"

class CChooseDeviceDlg : public CDialog {
public:
    explicit CChooseDeviceDlg(CWnd* parent = nullptr);

    std::string m_deviceName;

protected:
    void DoDataExchange(CDataExchange* dx) override;
};
