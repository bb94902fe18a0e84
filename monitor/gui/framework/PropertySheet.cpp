#include "PropertySheet.h"

#include <utility>

#include "OnScreenPlacement.h"
#include "WinApp.h"

RUNTIME_CLASS_IMPLEMENT(CPropertyPage, CDialog)
RUNTIME_CLASS_IMPLEMENT(CPropertySheet, CWnd)

namespace {

// The sheet whose window the system is making: its callback carries no context.
thread_local CPropertySheet* t_starting = nullptr;

}  // namespace

CPropertyPage::CPropertyPage(UINT templateId, UINT captionId) : CDialog(templateId)
{
    if (captionId)
        m_caption = LoadResString(captionId);
}

const MessageMap* CPropertyPage::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnNotifyAny<PSN_SETACTIVE, &CPropertyPage::OnSetActiveNotify>(),
        OnNotifyAny<PSN_KILLACTIVE, &CPropertyPage::OnKillActiveNotify>(),
        OnNotifyAny<PSN_APPLY, &CPropertyPage::OnApplyNotify>(),
        OnNotifyAny<PSN_RESET, &CPropertyPage::OnResetNotify>(),
    };
    static const MessageMap map = MakeMessageMap(CDialog::GetMessageMap(), entries);
    return &map;
}

BOOL CPropertyPage::OnApply()
{
    OnOK();
    return TRUE;
}

void CPropertyPage::SetModified(BOOL changed)
{
    HWND sheet = ::GetParent(m_hWnd);
    if (sheet)
        ::SendMessageA(sheet, changed ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* psp = reinterpret_cast<PROPSHEETPAGEA*>(lParam);
        auto* page = reinterpret_cast<CPropertyPage*>(psp->lParam);
        if (!FromHandle(window))
            page->Bind(window);
    }
    auto* page = dynamic_cast<CPropertyPage*>(FromHandle(window));
    return page ? page->HandleDialogMessage(window, message, wParam, lParam) : FALSE;
}

void CPropertyPage::OnSetActiveNotify(NMHDR*, LRESULT* result)
{
    *result = OnSetActive() ? 0 : -1;
}

void CPropertyPage::OnKillActiveNotify(NMHDR*, LRESULT* result)
{
    *result = OnKillActive() ? FALSE : TRUE;  // TRUE keeps the page
}

void CPropertyPage::OnApplyNotify(NMHDR* header, LRESULT* result)
{
    bool ok = reinterpret_cast<PSHNOTIFY*>(header)->lParam != 0;
    if (!OnApply()) {
        *result = PSNRET_INVALID_NOCHANGEPAGE;
        return;
    }
    if (ok && m_pSheet)
        m_pSheet->m_closedWithOK = true;
    *result = PSNRET_NOERROR;
}

void CPropertyPage::OnResetNotify(NMHDR*, LRESULT* result)
{
    OnReset();
    *result = 0;
}

CPropertySheet::CPropertySheet(UINT captionId, CWnd* parent, UINT selectPage)
    : m_caption(LoadResString(captionId)), m_pParentWnd(parent), m_nStartPage(selectPage)
{
}

CPropertySheet::CPropertySheet(const char* caption, CWnd* parent, UINT selectPage)
    : m_caption(caption ? caption : ""), m_pParentWnd(parent), m_nStartPage(selectPage)
{
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    page->m_pSheet = this;
    m_pages.push_back(page);
}

int CALLBACK CPropertySheet::SheetCallback(HWND window, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED && t_starting) {
        CPropertySheet* sheet = t_starting;
        t_starting = nullptr;
        sheet->SubclassWindow(window);
        ::PostMessageA(window, ModalDriverMessage(), 0, 0);
    }
    return 0;
}

LRESULT CPropertySheet::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == ModalDriverMessage()) {
        RunModalDriver(*this);
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

INT_PTR CPropertySheet::DoModal()
{
    std::vector<HPROPSHEETPAGE> handles;
    for (CPropertyPage* page : m_pages) {
        PROPSHEETPAGEA& psp = page->m_psp;
        psp = PROPSHEETPAGEA{};
        psp.dwSize = sizeof psp;
        psp.dwFlags = page->m_caption.empty() ? PSP_DEFAULT : PSP_USETITLE;
        psp.hInstance = ResourceHandle();
        psp.pszTemplate = MAKEINTRESOURCEA(page->m_nIDTemplate);
        psp.pszTitle = page->m_caption.c_str();
        psp.pfnDlgProc = CPropertyPage::PageProc;
        psp.lParam = reinterpret_cast<LPARAM>(page);
        HPROPSHEETPAGE handle = CreatePropertySheetPageA(&psp);
        if (!handle) {
            for (HPROPSHEETPAGE made : handles)
                DestroyPropertySheetPage(made);
            return -1;
        }
        handles.push_back(handle);
    }
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner && GetApp() && GetApp()->m_pMainWnd)
        owner = GetApp()->m_pMainWnd->m_hWnd;

    PROPSHEETHEADERA psh{};
    psh.dwSize = sizeof psh;
    psh.dwFlags = PSH_USECALLBACK;
    psh.hwndParent = owner;
    psh.hInstance = ResourceHandle();
    psh.pszCaption = m_caption.c_str();
    psh.nPages = UINT(handles.size());
    psh.nStartPage = m_nStartPage;
    psh.phpage = handles.data();
    psh.pfnCallback = SheetCallback;

    m_closedWithOK = false;
    CPropertySheet* outer = std::exchange(t_starting, this);
    ModalPlacementScope placement;
    INT_PTR shown = PropertySheetA(&psh);
    t_starting = outer;
    if (m_hWnd)
        UnsubclassWindow();
    if (shown < 0)
        return -1;
    return m_closedWithOK ? IDOK : IDCANCEL;
}

CPropertyPage* CPropertySheet::GetActivePage() const
{
    if (!m_hWnd)
        return nullptr;
    HWND page = reinterpret_cast<HWND>(::SendMessageA(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0));
    return dynamic_cast<CPropertyPage*>(FromHandle(page));
}

BOOL CPropertySheet::SetActivePage(int index)
{
    return m_hWnd ? BOOL(::SendMessageA(m_hWnd, PSM_SETCURSEL, WPARAM(index), 0)) : FALSE;
}
