#pragma once
// Shortcuts on a dialog's controls by id.
#include <windows.h>

// The ShowWindow result, or 0 when the control is missing.
BOOL ShowDlgItem(HWND dialog, int id, int showCommand);
// Sends the dialog WM_COMMAND(id, code) from the control; FALSE when it is missing.
BOOL SendDlgItemCommand(HWND dialog, int id, UINT code);
// FALSE when the control is missing.
BOOL EnableDlgItem(HWND dialog, int id, BOOL enable);
