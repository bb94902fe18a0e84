#pragma once
// Modal dialogs from a dialog template. The dialog's messages go through its
// message map; anything the map does not handle gets the dialog manager's default
// processing. OK exchanges and validates the data (DoDataExchange): a failed
// exchange leaves the dialog open with the focus on the failing control.
#include "Wnd.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CDialog)
public:
    // parent null: the main window owns the dialog.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // IDOK, IDCANCEL or the value given to EndDialog; -1 when the dialog could not be made.
    virtual INT_PTR DoModal();
    void EndDialog(int result);
    // save TRUE: controls to members with validation; FALSE: members to controls.
    BOOL UpdateData(BOOL save = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

protected:
    virtual void DoDataExchange(CDataExchange* dx) {}
    const MessageMap* GetMessageMap() const override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The dialog procedure of dialogs and property pages.
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void OnOKCommand() { OnOK(); }
    void OnCancelCommand() { OnCancel(); }
    // The message that Default() hands to the dialog manager, which comes back here.
    MSG m_defaulting{};
    bool m_modal = false;
};

// The driver of the modal test seam (TestSeams.h), run once the modal window is up.
void RunModalDriver(CWnd& modal);
// Posted to a modal window to run the driver inside its loop.
UINT ModalDriverMessage();
