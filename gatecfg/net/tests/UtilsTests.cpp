#include <gtest/gtest.h>

#include <string>

#include "net/CalyxLibrary.h"
#include "net/CalyxUtils.h"

using namespace calyx;

TEST(UtilsTest, HexDump)
{
    const unsigned char bytes[] = {0x01, 0xAB, 0x00, 0xFF};
    EXPECT_EQ(HexDump(bytes, 2, ' '), "01 AB");
    EXPECT_EQ(HexDump(bytes, 1, ' '), "01");
    EXPECT_EQ(HexDump(bytes, 4, '-'), "01-AB-00-FF");
    EXPECT_EQ(HexDump(bytes, 0, ' '), "");
    EXPECT_EQ(HexDump(bytes, -3, ' '), "");
}

TEST(UtilsTest, ParseDecimal)
{
    struct Case {
        const char* text;
        int value;
    } cases[] = {{"  42x", 42}, {"-5", 0}, {"", 0}, {nullptr, 0}, {"007", 7}, {"12 3", 12},
                 {"4294967297", 1}};  // no overflow check: the accumulator wraps
    for (const Case& c : cases)
        EXPECT_EQ(ParseDecimal(c.text), c.value) << (c.text ? c.text : "(none)");
}

TEST(UtilsTest, CodePageConversion)
{
    // Equal code pages hand the bytes back untouched, even invalid ones.
    const std::string raw("\xC0\xFF\x80 raw", 7);
    EXPECT_EQ(ConvertCodePage(raw, 65001, 65001), raw);
    EXPECT_EQ(ConvertCodePage("", 1251, 65001), "");

    const std::string utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // "Привет"
    const std::string cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
    EXPECT_EQ(Utf8ToCodePage(utf8, 1251), cp1251);
    EXPECT_EQ(ConvertCodePage(cp1251, 1251, 65001), utf8);
    EXPECT_EQ(WideToAnsi(L"\u041F\u0440\u0438\u0432\u0435\u0442", 1251), cp1251);
    EXPECT_EQ(WideToAnsi(L"plain"), "plain");

    // Longer than the stack buffer takes the heap path with the same result.
    std::string longUtf8, longCp;
    for (int i = 0; i < 1000; ++i) {
        longUtf8 += utf8;
        longCp += cp1251;
    }
    EXPECT_EQ(Utf8ToCodePage(longUtf8, 1251), longCp);
}

TEST(LibraryTest, PackingAndForwarding)
{
    EXPECT_EQ(lib::MakeWord(1, 1), 0x0101);
    EXPECT_EQ(lib::MakeLong(0x1234, 0xABCD), 0xABCD1234u);
    EXPECT_EQ(lib::HiWord(0xABCD1234u), 0xABCD);
    EXPECT_EQ(lib::IntToHex(0x1F, 8), "0000001F");
    EXPECT_EQ(lib::Format("%s:%u", "a", 5u), "a:5");
    EXPECT_EQ(lib::GetCurrentThreadId(), GetCurrentThreadId());
}
