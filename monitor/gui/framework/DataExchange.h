#pragma once
// Data exchange between a dialog's controls and its members. Each DDX_ routine
// moves one value in the direction m_bSaveAndValidate says. A value that cannot
// be taken fails the exchange: the routine (or the caller, with Fail) puts the
// focus on the control prepared last and UpdateData returns FALSE.
#include <windows.h>

#include <string>

class CWnd;

struct DataExchangeFailure {};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog)
    {
    }

    // The control with that id (the one a failure focuses).
    HWND PrepareCtrl(int id);
    // The same for an edit control: a failure also selects its text.
    HWND PrepareEditCtrl(int id);
    [[noreturn]] void Fail();

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;

private:
    HWND m_lastControl = nullptr;
    bool m_lastIsEdit = false;
};

void DDX_Text(CDataExchange* dx, int id, std::string& value);
// A signed decimal number; anything else fails with a message.
void DDX_Text(CDataExchange* dx, int id, int& value);
// Check box state 0, 1 or 2.
void DDX_Check(CDataExchange* dx, int id, int& value);
void DDX_Check(CDataExchange* dx, int id, UINT& value);
// The index of the checked button of the group that starts at id (-1: none).
void DDX_Radio(CDataExchange* dx, int id, int& value);
void DDX_Radio(CDataExchange* dx, int id, UINT& value);
// The combo box's selected index (-1: none).
void DDX_CBIndex(CDataExchange* dx, int id, int& value);
// Binds the control object to the dialog's control (once).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
