#include "ChooseVspDlg.h"

#include "DataExchange.h"
#include "MessageBox.h"
#include "QuelIds.h"
#include "channel/ChannelClient.h"
#include "win32/ComPtr.h"
#include "win32/Handles.h"

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

// The object's name in the ANSI code page; empty when it has none or it does not convert.
template <class Named>
Str NameOf(Named* object)
{
    win32::UniqueBstr name;
    if (FAILED(object->GetName(name.put())))
        name.release();  // a failed call's out value owns nothing
    Str ansi;
    if (name)
        StrAssignWide(ansi, name.get(), int(SysStringLen(name.get())));
    return ansi;
}

}  // namespace

CChooseVspDlg::CChooseVspDlg(CWnd* parent) : CDialog(IDD_CHOOSE_VSP, parent) {}

CChooseVspDlg::~CChooseVspDlg()
{
    StrFree(m_portName);
    m_combo.DestroyWindow();
}

BOOL CChooseVspDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (FAILED(CreateDeviceManager(m_manager.put()))) {
        m_manager.release();  // a failed call's out value owns nothing
        EndDialog(IDCANCEL);
        AppMessageBox("Cannot create RuzuManager object", MB_OK);
        return TRUE;
    }
    m_manager->Refresh();
    long count = 0;
    if (FAILED(m_manager->GetCount(&count)))
        count = 0;
    for (long index = 0; index < count; ++index) {
        win32::ComPtr<IRuzuDevice> device;
        if (FAILED(m_manager->GetDevice(index, device.put())) || !device)
            break;
        const Str text = NameOf(device.get());
        const int item = m_combo.AddString(text.data ? text.data : "");
        if (item < 0)
            continue;
        m_combo.SetItemData(item, reinterpret_cast<DWORD_PTR>(device.get()));
        m_devices.push_back(std::move(device));
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
    win32::ComPtr<IRuzuPort> port;
    if (FAILED(device->GetPort(0, port.put())) || !port)
        dx->Fail();
    Str chosen = NameOf(port.get());
    port.reset();
    // Without its name as filter a window would show every port's traffic.
    if (StrLengthOf(chosen) == 0 || StrLengthOf(chosen) > kMaxDeviceFilterLength) {
        AppMessageBox("The port of this device has no name that can be monitored.", MB_OK | MB_ICONERROR);
        dx->Fail();
    }
    m_portName = std::move(chosen);
}
