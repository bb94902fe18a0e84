#include "FormatMessageText.h"

#include <cwchar>

namespace quelstd {

std::wstring FormatBoundedV(const wchar_t* format, va_list args)
{
    // The msvcrt formatter, not the mingw one: on overflow it writes count
    // characters and no terminator, which the zeroed extra slot supplies.
    wchar_t buffer[kMaxTextLength + 1] = {};
    _vsnwprintf(buffer, kMaxTextLength, format, args);
    return buffer;
}

std::wstring FormatBounded(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatBoundedV(format, args);
    va_end(args);
    return text;
}

HRESULT StoreText(BSTR* out, const std::wstring& text)
{
    if (out == nullptr)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT FormatMessageTextV(BSTR* out, const wchar_t* format, va_list args)
{
    if (out == nullptr)
        return E_POINTER;
    return StoreText(out, FormatBoundedV(format, args));
}

HRESULT FormatMessageText(BSTR* out, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    HRESULT hr = FormatMessageTextV(out, format, args);
    va_end(args);
    return hr;
}

}  // namespace quelstd
