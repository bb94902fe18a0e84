#include "containers/AnsiText.h"

#include <windows.h>

int AnsiFromWide(const wchar_t* text, int length, char* out, int capacity)
{
    if (length == 0)
        return 0;
    // A UTF-8 code page takes neither the flag nor the question: it has every character.
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL usedDefault = FALSE;
    const int count = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, text, length, out,
                                          out ? capacity : 0, nullptr, utf8 ? nullptr : &usedDefault);
    return count > 0 && !usedDefault ? count : -1;
}

int WideFromAnsi(const char* text, int length, wchar_t* out, int capacity)
{
    if (length == 0)
        return 0;
    const int count = MultiByteToWideChar(CP_ACP, 0, text, length, out, out ? capacity : 0);
    return count > 0 ? count : -1;
}

std::wstring AnsiToWide(const char* text, size_t length)
{
    const int units = static_cast<int>(length);
    const int count = WideFromAnsi(text, units, nullptr, 0);
    std::wstring wide(count > 0 ? count : 0, L'\0');
    if (count > 0)
        WideFromAnsi(text, units, &wide[0], count);
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
