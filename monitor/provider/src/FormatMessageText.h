// Every provider text is one bounded wide formatting, returned as a BSTR.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <cstdarg>
#include <string>

namespace quelstd {

// Longest text that one formatting produces; longer results are cut here.
constexpr size_t kMaxTextLength = 260;

// Formats with the msvcrt wide printf (%ls for wide strings, %hs for narrow
// ones), cut at kMaxTextLength characters.
std::wstring FormatBoundedV(const wchar_t* format, va_list args);
std::wstring FormatBounded(const wchar_t* format, ...);

// Stores a fresh BSTR of text through out. E_POINTER for a NULL out;
// E_OUTOFMEMORY, with NULL stored, when the string cannot be allocated.
HRESULT StoreText(BSTR* out, const std::wstring& text);

// FormatBounded, then StoreText.
HRESULT FormatMessageTextV(BSTR* out, const wchar_t* format, va_list args);
HRESULT FormatMessageText(BSTR* out, const wchar_t* format, ...);

}  // namespace quelstd
