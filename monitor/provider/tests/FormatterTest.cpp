// The wide formatter behind every text.
#include "FormatMessageText.h"
#include "StatusText.h"

#include <gtest/gtest.h>

using namespace quelstd;

TEST(FormatMessageTextTest, WideAndNarrowArgumentsFormatAsWritten)
{
    EXPECT_EQ(FormatBounded(L"%ls|%hs|%d|%08x|%u", L"wide\x0444", "narrow", -5, 0xABu, 7u),
              L"wide\x0444|narrow|-5|000000ab|7");
}

TEST(FormatMessageTextTest, CutsAt260CharactersAndStoresTheText)
{
    std::wstring longArg(400, L'x');
    EXPECT_EQ(FormatBounded(L"<%ls>", longArg.c_str()), L"<" + longArg.substr(0, 259));
    EXPECT_EQ(FormatBounded(L"%ls", longArg.substr(0, 260).c_str()).size(), 260u);

    BSTR text = nullptr;
    ASSERT_EQ(FormatMessageText(&text, L"%ls-%d", longArg.c_str(), 1), S_OK);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 260u);
    EXPECT_EQ(std::wstring(text), longArg.substr(0, 260));
    SysFreeString(text);

    EXPECT_EQ(FormatMessageText(nullptr, L"x"), E_POINTER);
}

TEST(StatusTextTest, TableTextsAndFallback)
{
    const struct {
        uint32_t status;
        const wchar_t* text;
    } cases[] = {
        {0x00000000, L"success"},
        {0xC0000043, L"address is in use"},
        {0xC000020A, L"address is in use"},
        {0x80000005, L"buffer overflow"},
        {0x00000103, L"pending"},
        {0xC0000022, L"access denied"},
        {0x00000001, L"error: 1/00000001"},
        {0x80000000, L"error: -2147483648/80000000"},
        {0xFFFFFFFF, L"error: -1/ffffffff"},
        {0x7FFFFFFF, L"error: 2147483647/7fffffff"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusText(c.status), c.text) << std::hex << c.status;
}
