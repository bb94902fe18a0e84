#include "ChooseVspDlg.h"

#include "DataExchange.h"
#include "MessageBox.h"
#include "QuelIds.h"
#include "channel/ChannelClient.h"

#include <utility>

namespace {

HRESULT CreateDeviceManager(IRuzuDeviceManager** manager)
{
    CLSID clsid{};
    HRESULT result = CLSIDFromProgID(RUZU_DEVICE_MANAGER_PROGID, &clsid);
    if (FAILED(result))
        return result;
    return CoCreateInstance(clsid, nullptr, RUZU_DEVICE_MANAGER_CLSCTX, IID_IRuzuDeviceManager,
                            reinterpret_cast<void**>(manager));
}

// The BSTR in the ANSI code page, and freed; empty when it is null or does not convert.
Str TakeAnsi(BSTR text)
{
    Str ansi;
    if (text)
        StrAssignWide(ansi, text, int(SysStringLen(text)));
    SysFreeString(text);
    return ansi;
}

}  // namespace

CChooseVspDlg::CChooseVspDlg(CWnd* parent) : CDialog(IDD_CHOOSE_VSP, parent) {}

CChooseVspDlg::~CChooseVspDlg()
{
    StrFree(m_portName);
    m_combo.DestroyWindow();
    for (IRuzuDevice* device : m_devices)
        device->Release();
    if (m_manager)
        m_manager->Release();
}

BOOL CChooseVspDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (FAILED(CreateDeviceManager(&m_manager))) {
        m_manager = nullptr;
        EndDialog(IDCANCEL);
        AppMessageBox("Cannot create RuzuManager object", MB_OK);
        return TRUE;
    }
    m_manager->Refresh();
    long count = 0;
    if (FAILED(m_manager->GetCount(&count)))
        count = 0;
    for (long index = 0; index < count; ++index) {
        IRuzuDevice* device = nullptr;
        if (FAILED(m_manager->GetDevice(index, &device)) || !device)
            break;
        BSTR name = nullptr;
        if (FAILED(device->GetName(&name)))
            name = nullptr;
        const Str text = TakeAnsi(name);
        const int item = m_combo.AddString(text.data ? text.data : "");
        if (item < 0) {
            device->Release();
            continue;
        }
        m_combo.SetItemData(item, reinterpret_cast<DWORD_PTR>(device));
        m_devices.push_back(device);
    }
    if (count != 0)
        m_combo.SetCurSel(0);
    return TRUE;
}

void CChooseVspDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_VSP_COMBO, m_combo);
    if (!dx->m_bSaveAndValidate)
        return;
    int index = -1;
    DDX_CBIndex(dx, IDC_VSP_COMBO, index);
    if (index < 0)
        dx->Fail();
    auto* device = reinterpret_cast<IRuzuDevice*>(m_combo.GetItemData(index));
    IRuzuPort* port = nullptr;
    if (FAILED(device->GetPort(0, &port)) || !port)
        dx->Fail();
    BSTR name = nullptr;
    if (FAILED(port->GetName(&name)))
        name = nullptr;
    port->Release();
    // Without its name as filter a window would show every port's traffic.
    Str chosen = TakeAnsi(name);
    if (StrLengthOf(chosen) == 0 || StrLengthOf(chosen) > kMaxDeviceFilterLength) {
        AppMessageBox("The port of this device has no name that can be monitored.", MB_OK | MB_ICONERROR);
        dx->Fail();
    }
    m_portName = std::move(chosen);
}
