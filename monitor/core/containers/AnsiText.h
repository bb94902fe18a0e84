#pragma once
#include <cstddef>
#include <string>

// Text between the ANSI code page, in which records name their devices and
// files receive their lines, and UTF-16, in which providers and the port
// manager give their texts and the console shows every character.

// Converts `length` units into out (room for `capacity` units; with out null
// only measures): the converted length, or -1 when a character has no exact
// form on the other side (a best fit would name another port or device).
int AnsiFromWide(const wchar_t* text, int length, char* out, int capacity);
int WideFromAnsi(const char* text, int length, wchar_t* out, int capacity);

// For showing: a character without an exact form becomes the code page's
// default character.
std::wstring AnsiToWide(const char* text, size_t length);
std::string WideToAnsi(const wchar_t* text, size_t length);
