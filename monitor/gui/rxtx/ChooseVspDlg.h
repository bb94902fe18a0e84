#pragma once
// The port chooser (dialog 1138): the devices of the virtual-serial-port
// manager "Ruzu.DeviceManager" in the manager's order, the first one
// selected; OK takes the chosen device's first port and gives its name.
#include <string>
#include <vector>

#include "Controls.h"
#include "Dialog.h"
#include "RuzuDeviceManager.h"
#include "containers/Str.h"
#include "win32/ComPtr.h"

class CChooseVspDlg : public CDialog {
public:
    explicit CChooseVspDlg(CWnd* parent = nullptr);
    ~CChooseVspDlg() override;

    // The chosen port's name once DoModal returned IDOK, else empty.
    std::string PortName() const { return m_portName.data ? m_portName.data : ""; }

    CComboBox m_combo;

protected:
    // Without a manager the dialog ends with IDCANCEL after saying so.
    BOOL OnInitDialog() override;
    // On OK: no selection, a device without a port or a port without a name
    // that converts and fits an opening request keeps the dialog open.
    void DoDataExchange(CDataExchange* dx) override;

private:
    win32::ComPtr<IRuzuDeviceManager> m_manager;
    Str m_portName;
    // One reference per combo item, whose data is the same pointer: a manager
    // need not keep its devices alive while the dialog shows them.
    std::vector<win32::ComPtr<IRuzuDevice>> m_devices;
};
