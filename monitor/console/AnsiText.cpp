#include "AnsiText.h"

#include <windows.h>

std::wstring AnsiToWide(const char* text, size_t length)
{
    const int units = static_cast<int>(length);
    const int count = units > 0 ? MultiByteToWideChar(CP_ACP, 0, text, units, nullptr, 0) : 0;
    std::wstring wide(count > 0 ? count : 0, L'\0');
    if (count > 0)
        MultiByteToWideChar(CP_ACP, 0, text, units, &wide[0], count);
    return wide;
}

std::string WideToAnsi(const wchar_t* text, size_t length)
{
    const int units = static_cast<int>(length);
    const int count =
        units > 0 ? WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr) : 0;
    std::string ansi(count > 0 ? count : 0, '\0');
    if (count > 0)
        WideCharToMultiByte(CP_ACP, 0, text, units, &ansi[0], count, nullptr, nullptr);
    return ansi;
}
