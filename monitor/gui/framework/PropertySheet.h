#pragma once
// Property sheets on the common control. A page is a dialog template (child style
// with a caption, which becomes its tab) with its own message map and data
// exchange: leaving a page and pressing OK or Apply exchange its data out, and a
// failed exchange keeps the sheet open on that page with the focus on the control.
// DoModal returns IDOK when the sheet was closed with OK, else IDCANCEL; the
// caller then copies the pages' members back.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "Dialog.h"

class CPropertySheet;

class CPropertyPage : public CDialog {
public:
    RUNTIME_CLASS_DECLARE(CPropertyPage)
public:
    explicit CPropertyPage(UINT templateId, UINT captionId = 0);

    virtual BOOL OnSetActive() { return TRUE; }
    // Validates and exchanges the data out; FALSE keeps the page.
    virtual BOOL OnKillActive() { return UpdateData(TRUE); }
    // OK or Apply; the default calls OnOK.
    virtual BOOL OnApply();
    virtual void OnReset() {}
    void OnOK() override {}
    void OnCancel() override {}
    // Enables the sheet's Apply button (or disables it again).
    void SetModified(BOOL changed = TRUE);

    CPropertySheet* m_pSheet = nullptr;

protected:
    const MessageMap* GetMessageMap() const override;

private:
    friend class CPropertySheet;
    static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnSetActiveNotify(NMHDR*, LRESULT* result);
    void OnKillActiveNotify(NMHDR*, LRESULT* result);
    void OnApplyNotify(NMHDR* header, LRESULT* result);
    void OnResetNotify(NMHDR*, LRESULT* result);

    PROPSHEETPAGEA m_psp{};
    std::string m_caption;
};

class CPropertySheet : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CPropertySheet)
public:
    explicit CPropertySheet(UINT captionId, CWnd* parent = nullptr, UINT selectPage = 0);
    explicit CPropertySheet(const char* caption, CWnd* parent = nullptr, UINT selectPage = 0);

    void AddPage(CPropertyPage* page);
    INT_PTR DoModal();

    int GetPageCount() const { return int(m_pages.size()); }
    CPropertyPage* GetPage(int index) const { return m_pages.at(index); }
    // The page shown now (while the sheet runs), else null.
    CPropertyPage* GetActivePage() const;
    // Shows that page, as a click on its tab does.
    BOOL SetActivePage(int index);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::string m_caption;
    CWnd* m_pParentWnd;
    UINT m_nStartPage;

private:
    friend class CPropertyPage;
    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
    std::vector<CPropertyPage*> m_pages;
    bool m_closedWithOK = false;
};
