#pragma once
// The rich-edit control of riched32.dll (version 1, ANSI), loaded on first use.
#include <windows.h>
#include <richedit.h>

#include <string>

#include "Wnd.h"

class CRichEditCtrl : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CRichEditCtrl)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    void GetSel(long& start, long& end) const;
    void SetSel(long start, long end);
    void ReplaceSel(const char* text, BOOL canUndo = FALSE)
    {
        SendMessage(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text));
    }
    BOOL SetSelectionCharFormat(CHARFORMATA& format)
    {
        format.cbSize = sizeof format;
        return BOOL(SendMessage(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format)));
    }
    DWORD GetSelectionCharFormat(CHARFORMATA& format) const
    {
        format.cbSize = sizeof format;
        return DWORD(SendMessage(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format)));
    }
    void LimitText(long chars = 0) { SendMessage(EM_EXLIMITTEXT, 0, chars); }
    long GetLimitText() const { return long(SendMessage(EM_GETLIMITTEXT)); }
    long GetTextLength() const { return long(SendMessage(WM_GETTEXTLENGTH)); }
    std::string GetSelText() const;
    void Copy() { SendMessage(WM_COPY); }
    BOOL SetReadOnly(BOOL readOnly = TRUE) { return BOOL(SendMessage(EM_SETREADONLY, readOnly)); }
    int GetLineCount() const { return int(SendMessage(EM_GETLINECOUNT)); }
};
