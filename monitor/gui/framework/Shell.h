#pragma once
// What the program asks of the shell: opening documents and addresses, context
// help, sounds. Each goes through its test seam.
#include <windows.h>

// ShellExecute.
HINSTANCE ShellOpen(HWND window, const char* verb, const char* file, const char* parameters,
                    const char* directory, int show);
// WinHelp.
BOOL ShowWinHelp(HWND window, const char* helpFile, UINT command, ULONG_PTR data);
// sndPlaySound.
BOOL PlaySoundFile(const char* file, UINT flags);
