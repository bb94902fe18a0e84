#include "Cp1251.h"

#include <windows.h>

namespace gatecfg {

namespace {
const UINT kCodePage = 1251;
}

std::wstring FromCp1251(const std::string& bytes)
{
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(kCodePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(kCodePage, 0, bytes.data(), size, &text[0], needed);
    return text;
}

std::string ToCp1251(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(kCodePage, 0, text.data(), size, nullptr, 0, "?", nullptr);
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(kCodePage, 0, text.data(), size, &bytes[0], needed, "?", nullptr);
    return bytes;
}

}  // namespace gatecfg
