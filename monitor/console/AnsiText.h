#pragma once
#include <cstddef>
#include <string>

// Text between the ANSI code page, in which records name their devices and
// files receive their lines, and UTF-16, in which providers give their texts
// and the console shows every character.
std::wstring AnsiToWide(const char* text, size_t length);
std::string WideToAnsi(const wchar_t* text, size_t length);
