#pragma once
// Message boxes of the program, all through one routine so that a test can answer them.
#include <windows.h>

// A message box; the caption defaults to the application's name.
int ShowMessageBox(HWND owner, const char* text, const char* caption = nullptr, UINT type = MB_OK);
// A message box owned by the main window (when there is one).
int AppMessageBox(const char* text, UINT type = MB_OK);
// The same with the text of a string resource.
int AppMessageBox(UINT stringId, UINT type = MB_OK);
