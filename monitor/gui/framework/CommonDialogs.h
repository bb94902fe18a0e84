#pragma once
// The system's file, font and colour dialogs. DoModal asks the test seam first
// (TestSeams.h); a test answers by filling the public structure as the system
// dialog would.
#include <windows.h>
#include <commdlg.h>

#include <string>

class CWnd;

class CCommonDialog {
public:
    virtual ~CCommonDialog() = default;
    // IDOK or IDCANCEL.
    INT_PTR DoModal();

protected:
    explicit CCommonDialog(CWnd* parent) : m_pParentWnd(parent) {}
    HWND OwnerWindow() const;
    virtual BOOL RunSystemDialog() = 0;
    CWnd* m_pParentWnd;
};

class CFileDialog : public CCommonDialog {
public:
    // filter: pairs of "text|pattern|" ending in "||".
    CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr, const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    std::string GetPathName() const { return m_fileBuffer; }
    // What a test's answer sets as the chosen file.
    void SetPathName(const char* path);

    OPENFILENAMEA m_ofn{};
    BOOL m_bOpenFileDialog;

protected:
    BOOL RunSystemDialog() override;

private:
    char m_fileBuffer[MAX_PATH] = {};
    std::string m_filter, m_defaultExt;
};

class CFontDialog : public CCommonDialog {
public:
    // initial: the font shown first (CF_INITTOLOGFONTSTRUCT is added).
    explicit CFontDialog(const LOGFONTA* initial = nullptr,
                         DWORD flags = CF_EFFECTS | CF_SCREENFONTS, CWnd* parent = nullptr);
    CFontDialog(const CFontDialog&) = delete;
    CFontDialog& operator=(const CFontDialog&) = delete;

    void GetCurrentFont(LOGFONTA& font) const { font = m_lf; }
    COLORREF GetColor() const { return m_cf.rgbColors; }

    CHOOSEFONTA m_cf{};  // rgbColors: the initial and the chosen colour
    LOGFONTA m_lf{};

protected:
    BOOL RunSystemDialog() override;
};

class CColorDialog : public CCommonDialog {
public:
    explicit CColorDialog(COLORREF initial = 0, DWORD flags = 0, CWnd* parent = nullptr);
    CColorDialog(const CColorDialog&) = delete;
    CColorDialog& operator=(const CColorDialog&) = delete;

    COLORREF GetColor() const { return m_cc.rgbResult; }

    CHOOSECOLORA m_cc{};

protected:
    BOOL RunSystemDialog() override;
};
