#pragma once
// Code-page conversion, hexadecimal dumps and a lenient decimal parser.
#include <windows.h>

#include <string>

namespace calyx {

// Code page 0 is the system's ANSI code page.
std::string WideToAnsi(const std::wstring& text, UINT codePage);
std::string WideToAnsi(const std::wstring& text);
std::string ConvertCodePage(const std::string& text, UINT fromCodePage, UINT toCodePage);
std::string Utf8ToCodePage(const std::string& text, UINT codePage);

// Each byte as two upper-case hex digits, the separator between bytes.
std::string HexDump(const void* data, int count, char separator);

// Leading spaces skipped, digits read up to the first non-digit; no sign and
// no overflow check; none gives 0.
int ParseDecimal(const char* text);

}  // namespace calyx
