#include "DataExchange.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "FrameworkIds.h"
#include "MessageBox.h"
#include "Wnd.h"

HWND CDataExchange::PrepareCtrl(int id)
{
    m_lastControl = m_pDlgWnd->GetDlgItem(id);
    m_lastIsEdit = false;
    return m_lastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id)
{
    PrepareCtrl(id);
    m_lastIsEdit = true;
    return m_lastControl;
}

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && m_lastControl) {
        ::SetFocus(m_lastControl);
        if (m_lastIsEdit)
            ::SendMessageA(m_lastControl, EM_SETSEL, 0, -1);
    }
    throw DataExchangeFailure{};
}

void DDX_Text(CDataExchange* dx, int id, std::string& value)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (!dx->m_bSaveAndValidate) {
        ::SetWindowTextA(control, value.c_str());
        return;
    }
    int length = ::GetWindowTextLengthA(control);
    std::string text(std::size_t(length) + 1, '\0');
    int copied = ::GetWindowTextA(control, text.data(), length + 1);
    text.resize(std::size_t(copied > 0 ? copied : 0));
    value = text;
}

void DDX_Text(CDataExchange* dx, int id, int& value)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (!dx->m_bSaveAndValidate) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", value);
        ::SetWindowTextA(control, text);
        return;
    }
    char text[64] = {};
    ::GetWindowTextA(control, text, sizeof text);
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(p, &end, 10);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (end == p || *end != '\0' || errno == ERANGE || number < INT_MIN || number > INT_MAX) {
        AppMessageBox(IDS_PARSE_INT, MB_OK | MB_ICONEXCLAMATION);
        dx->Fail();
    }
    value = int(number);
}

void DDX_Check(CDataExchange* dx, int id, int& value)
{
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = int(::SendMessageA(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageA(control, BM_SETCHECK, WPARAM(value), 0);
}

namespace {

// An unsigned field through the int exchange of the same control.
void ExchangeUnsigned(void (*exchange)(CDataExchange*, int, int&), CDataExchange* dx, int id, UINT& value)
{
    int v = int(value);
    exchange(dx, id, v);
    value = UINT(v);
}

}  // namespace

void DDX_Check(CDataExchange* dx, int id, UINT& value)
{
    ExchangeUnsigned(static_cast<void (*)(CDataExchange*, int, int&)>(DDX_Check), dx, id, value);
}

void DDX_Radio(CDataExchange* dx, int id, int& value)
{
    HWND first = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    HWND control = first;
    do {
        if (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
            if (dx->m_bSaveAndValidate) {
                if (::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED)
                    value = index;
            } else {
                ::SendMessageA(control, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++index;
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
    } while (control && !(::GetWindowLongA(control, GWL_STYLE) & WS_GROUP));
}

void DDX_Radio(CDataExchange* dx, int id, UINT& value)
{
    ExchangeUnsigned(static_cast<void (*)(CDataExchange*, int, int&)>(DDX_Radio), dx, id, value);
}

void DDX_CBIndex(CDataExchange* dx, int id, int& value)
{
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = int(::SendMessageA(control, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageA(control, CB_SETCURSEL, WPARAM(value), 0);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (!control.m_hWnd)
        control.SubclassDlgItem(UINT(id), dx->m_pDlgWnd);
}
