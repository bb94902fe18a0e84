#include "net/CalyxUtils.h"

#include <memory>

namespace calyx {

namespace {

std::string FromWide(const wchar_t* text, int length, UINT codePage)
{
    if (length <= 0)
        return std::string();
    int needed = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::string out(size_t(needed), '\0');
    int written = WideCharToMultiByte(codePage, 0, text, length, &out[0], needed, nullptr, nullptr);
    if (written != needed)
        out.resize(written > 0 ? size_t(written) : 0);
    return out;
}

}  // namespace

std::string WideToAnsi(const std::wstring& text, UINT codePage)
{
    return FromWide(text.data(), int(text.size()), codePage);
}

std::string WideToAnsi(const std::wstring& text)
{
    return WideToAnsi(text, 0);
}

std::string ConvertCodePage(const std::string& text, UINT fromCodePage, UINT toCodePage)
{
    if (text.empty() || fromCodePage == toCodePage)
        return text;
    const int length = int(text.size());
    int wideLength = MultiByteToWideChar(fromCodePage, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0)
        return std::string();
    constexpr int kStackChars = 2048;
    wchar_t stackBuffer[kStackChars];
    std::unique_ptr<wchar_t[]> heapBuffer;
    wchar_t* wide = stackBuffer;
    if (wideLength > kStackChars) {
        heapBuffer.reset(new wchar_t[size_t(wideLength)]);
        wide = heapBuffer.get();
    }
    wideLength = MultiByteToWideChar(fromCodePage, 0, text.data(), length, wide, wideLength);
    return FromWide(wide, wideLength, toCodePage);
}

std::string Utf8ToCodePage(const std::string& text, UINT codePage)
{
    return ConvertCodePage(text, CP_UTF8, codePage);
}

std::string HexDump(const void* data, int count, char separator)
{
    if (count <= 0 || !data)
        return std::string();
    static const char digits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string out(size_t(count) * 3 - 1, separator);
    for (int i = 0; i < count; ++i) {
        out[size_t(i) * 3] = digits[bytes[i] >> 4];
        out[size_t(i) * 3 + 1] = digits[bytes[i] & 0x0F];
    }
    return out;
}

int ParseDecimal(const char* text)
{
    if (!text)
        return 0;
    while (*text == ' ')
        ++text;
    unsigned value = 0;  // wraps like the 32-bit accumulator it stands for
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10 + unsigned(*text - '0');
    return int(value);
}

}  // namespace calyx
