#include "NoteDialog.h"

#include "ComboHelpers.h"
#include "DataExchange.h"
#include "DemoIds.h"
#include "MessageBox.h"

CNoteDialog::CNoteDialog(const NoteOptions& options) : CDialog(IDD_NOTE), m_options(options) {}

BOOL CNoteDialog::OnInitDialog()
{
    static const ComboTableItem colours[] = {
        {"Black", 0}, {"Blue", 1}, {"Green", 2}, {"Red", 3}, {nullptr, 0}};
    ComboFillItems(m_hWnd, IDC_COLOUR, colours);
    return CDialog::OnInitDialog();
}

void CNoteDialog::DoDataExchange(CDataExchange* dx)
{
    DDX_Text(dx, IDC_NAME, m_options.name);
    DDX_Text(dx, IDC_COUNT, m_options.count);
    if (dx->m_bSaveAndValidate && (m_options.count < 1 || m_options.count > 99)) {
        AppMessageBox(IDS_COUNT_RANGE, MB_OK | MB_ICONEXCLAMATION);
        dx->Fail();
    }
    DDX_CBIndex(dx, IDC_COLOUR, m_options.colour);
    DDX_Check(dx, IDC_UPPER, m_options.upper);
    DDX_Radio(dx, IDC_LEFT, m_options.side);
}
