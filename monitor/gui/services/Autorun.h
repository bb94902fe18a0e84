#pragma once
#include <windows.h>
#include <string>

// The logon start entry: a value under the Run key of a root key
// (HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE, or a scratch key in tests).
constexpr const char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char kAutorunValueName[] = "Pelko Monitor";

// The Run data for the program file at `programPath`: the path, in quotes when
// it holds a blank (so that the shell does not try a shorter path first), then
// " /minimize".
std::string AutorunCommand(const std::string& programPath);

// On: the Run value := AutorunCommand of this program's own file, whatever
// the command line that started it. Off: the value is deleted. Whether that
// succeeded; false when the Run key can be neither opened nor created.
bool SetAutorun(bool on, HKEY root);

// Whether the Run value exists under the root, of any type.
bool AutorunIsSet(HKEY root);
