#pragma once
// What the program asks of the shell: opening documents and addresses, context
// help, notification-area icons, sounds. Each goes through its test seam.
#include <windows.h>
#include <shellapi.h>

// ShellExecute.
HINSTANCE ShellOpen(HWND window, const char* verb, const char* file, const char* parameters,
                    const char* directory, int show);
// WinHelp.
BOOL ShowWinHelp(HWND window, const char* helpFile, UINT command, ULONG_PTR data);
// Shell_NotifyIcon: NIM_ADD, NIM_MODIFY or NIM_DELETE of the icon the record names.
BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* data);
// sndPlaySound.
BOOL PlaySoundFile(const char* file, UINT flags);
