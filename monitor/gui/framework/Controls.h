#pragma once
// Wrappers of the standard controls. Create makes the control as a child with an
// id; a dialog's control is bound with DDX_Control or SubclassDlgItem. Each call
// is the control's message and nothing more.
#include <windows.h>

#include <string>

#include "Wnd.h"

class CStatic : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CStatic)
public:
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF);
    HICON SetIcon(HICON icon)
    {
        return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon)));
    }
};

class CButton : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CButton)
public:
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetCheck() const { return int(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, WPARAM(check)); }
    // BM_SETIMAGE with an icon; returns the previous one.
    HICON SetIcon(HICON icon)
    {
        return reinterpret_cast<HICON>(
            SendMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
    }
};

class CEdit : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CEdit)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    void SetSel(int start, int end, BOOL noScroll = FALSE);
    void GetSel(int& start, int& end) const;
    void ReplaceSel(const char* text, BOOL canUndo = FALSE)
    {
        SendMessage(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text));
    }
    void LimitText(int chars = 0) { SendMessage(EM_SETLIMITTEXT, WPARAM(chars)); }
    int GetLineCount() const { return int(SendMessage(EM_GETLINECOUNT)); }
};

class CComboBox : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CComboBox)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int AddString(const char* text)
    {
        return int(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int InsertString(int index, const char* text)
    {
        return int(SendMessage(CB_INSERTSTRING, WPARAM(index), reinterpret_cast<LPARAM>(text)));
    }
    int DeleteString(int index) { return int(SendMessage(CB_DELETESTRING, WPARAM(index))); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int GetCount() const { return int(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return int(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) { return int(SendMessage(CB_SETCURSEL, WPARAM(index))); }
    DWORD_PTR GetItemData(int index) const { return DWORD_PTR(SendMessage(CB_GETITEMDATA, WPARAM(index))); }
    int SetItemData(int index, DWORD_PTR data)
    {
        return int(SendMessage(CB_SETITEMDATA, WPARAM(index), LPARAM(data)));
    }
    std::string GetLBText(int index) const;
    int FindStringExact(int start, const char* text) const
    {
        return int(SendMessage(CB_FINDSTRINGEXACT, WPARAM(start), reinterpret_cast<LPARAM>(text)));
    }
};
