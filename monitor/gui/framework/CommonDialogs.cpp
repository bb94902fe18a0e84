#include "CommonDialogs.h"

#include <cstring>
#include "SeamSlot.h"
#include "TestSeams.h"
#include "WinApp.h"

CommonDialogAnswer SetCommonDialogAnswer(CommonDialogAnswer answer)
{
    return ReplaceSeam(std::move(answer));
}

INT_PTR CCommonDialog::DoModal()
{
    if (auto& answer = SeamSlot<CommonDialogAnswer>())
        return answer(*this);
    return RunSystemDialog() ? IDOK : IDCANCEL;
}

HWND CCommonDialog::OwnerWindow() const
{
    if (m_pParentWnd)
        return m_pParentWnd->m_hWnd;
    CWinApp* app = GetApp();
    return app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName,
                         DWORD flags, const char* filter, CWnd* parent)
    : CCommonDialog(parent), m_bOpenFileDialog(openFileDialog)
{
    if (fileName)
        lstrcpynA(m_fileBuffer, fileName, MAX_PATH);
    if (filter) {
        m_filter = filter;
        for (char& c : m_filter)
            if (c == '|')
                c = '\0';
        m_filter.push_back('\0');
    }
    if (defaultExt)
        m_defaultExt = defaultExt;
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.lpstrFile = m_fileBuffer;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrFilter = filter ? m_filter.c_str() : nullptr;
    m_ofn.lpstrDefExt = defaultExt ? m_defaultExt.c_str() : nullptr;
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

void CFileDialog::SetPathName(const char* path)
{
    lstrcpynA(m_fileBuffer, path ? path : "", MAX_PATH);
}

BOOL CFileDialog::RunSystemDialog()
{
    m_ofn.hwndOwner = OwnerWindow();
    return m_bOpenFileDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
}

CFontDialog::CFontDialog(const LOGFONTA* initial, DWORD flags, CWnd* parent) : CCommonDialog(parent)
{
    if (initial) {
        m_lf = *initial;
        flags |= CF_INITTOLOGFONTSTRUCT;
    }
    m_cf.lStructSize = sizeof m_cf;
    m_cf.lpLogFont = &m_lf;
    m_cf.Flags = flags;
}

BOOL CFontDialog::RunSystemDialog()
{
    m_cf.hwndOwner = OwnerWindow();
    return ChooseFontA(&m_cf);
}

CColorDialog::CColorDialog(COLORREF initial, DWORD flags, CWnd* parent) : CCommonDialog(parent)
{
    static COLORREF custom[16] = {};
    m_cc.lStructSize = sizeof m_cc;
    m_cc.rgbResult = initial;
    m_cc.lpCustColors = custom;
    m_cc.Flags = flags | CC_RGBINIT;
}

BOOL CColorDialog::RunSystemDialog()
{
    m_cc.hwndOwner = OwnerWindow();
    return ChooseColorA(&m_cc);
}
