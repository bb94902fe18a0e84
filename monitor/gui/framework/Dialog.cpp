#include "Dialog.h"

#include <exception>
#include <utility>

#include "DataExchange.h"
#include "OnScreenPlacement.h"
#include "SeamSlot.h"
#include "TestSeams.h"
#include "WinApp.h"

RUNTIME_CLASS_IMPLEMENT(CDialog, CWnd)

namespace {

// These return their result from the dialog procedure itself, not through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message)
{
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
           message == WM_COMPAREITEM || message == WM_VKEYTOITEM || message == WM_CHARTOITEM ||
           message == WM_QUERYDRAGICON || message == WM_INITDIALOG;
}

}  // namespace

ModalDriver SetModalDriver(ModalDriver driver)
{
    return ReplaceSeam(std::move(driver));
}

UINT ModalDriverMessage()
{
    static const UINT message = RegisterWindowMessageA("QuelFramework.ModalDriver");
    return message;
}

void RunModalDriver(CWnd& modal)
{
    ModalDriver& driver = SeamSlot<ModalDriver>();
    if (!driver)
        return;
    // The modal loop shows its window only once the queue runs empty: show it now,
    // so that the driver works on what a person would see.
    if (!::IsWindowVisible(modal.m_hWnd))
        ::ShowWindow(modal.m_hWnd, SW_SHOWNORMAL);
    driver(modal);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

const MessageMap* CDialog::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnCommand<IDOK, &CDialog::OnOKCommand>(),
        OnCommand<IDCANCEL, &CDialog::OnCancelCommand>(),
    };
    static const MessageMap map = MakeMessageMap(CWnd::GetMessageMap(), entries);
    return &map;
}

INT_PTR CDialog::DoModal()
{
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner && GetApp() && GetApp()->m_pMainWnd)
        owner = GetApp()->m_pMainWnd->m_hWnd;
    m_modal = true;
    ModalPlacementScope placement;
    INT_PTR result = DialogBoxParamA(ResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
    m_modal = false;
    return result;
}

void CDialog::EndDialog(int result)
{
    if (m_hWnd)
        ::EndDialog(m_hWnd, result);
}

BOOL CDialog::UpdateData(BOOL save)
{
    CDataExchange dx(this, save);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The dialog manager calls the dialog procedure again: it declines this one message.
    MSG saved = std::exchange(m_defaulting, MSG{m_hWnd, message, wParam, lParam, 0, {}});
    LRESULT result = ::DefDlgProcA(m_hWnd, message, wParam, lParam);
    m_defaulting = saved;
    return result;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* dialog = dynamic_cast<CDialog*>(FromHandle(window));
    if (!dialog && message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        dialog->Bind(window);
    }
    return dialog ? dialog->HandleDialogMessage(window, message, wParam, lParam) : FALSE;
}

INT_PTR CDialog::HandleDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_defaulting.hwnd == window && m_defaulting.message == message &&
        m_defaulting.wParam == wParam && m_defaulting.lParam == lParam)
        return FALSE;

    CurrentMessageScope scope(window, message, wParam, lParam);
    INT_PTR answer = GuardWindowCode([&]() -> LRESULT {
        if (message == ModalDriverMessage()) {
            RunModalDriver(*this);
            return TRUE;
        }
        if (message == WM_INITDIALOG) {
            BOOL focus = OnInitDialog();
            if (m_modal && SeamSlot<ModalDriver>())
                ::PostMessageA(window, ModalDriverMessage(), 0, 0);
            return focus;
        }
        LRESULT result = 0;
        if (!OnWndMsg(message, wParam, lParam, &result))
            return FALSE;
        if (ReturnsDirectly(message))
            return result;
        SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
        return TRUE;
    });
    if (message == WM_NCDESTROY && m_hWnd == window)
        OnFinalNcDestroy();
    return answer;
}
