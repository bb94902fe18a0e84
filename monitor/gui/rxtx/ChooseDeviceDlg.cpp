#include "ChooseDeviceDlg.h"

#include "DataExchange.h"
#include "QuelIds.h"

CChooseDeviceDlg::CChooseDeviceDlg(CWnd* parent) : CDialog(IDD_CHOOSE_DEVICE, parent) {}

void CChooseDeviceDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Text(dx, IDC_DEVICE_NAME, m_deviceName);
}
