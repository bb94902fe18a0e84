#include <gtest/gtest.h>

#include "rtl/SysUtils.h"

using namespace rtl;

TEST(SysUtilsTest, FormatDateTimeTokens)
{
    struct Case {
        const char* format;
        TDateTime value;
        const char* expected;
    } cases[] = {
        {"hh:nn:ss:zzz", EncodeDateTime(2024, 2, 29, 12, 0, 0, 5), "12:00:00:005"},
        {"hh:nn:ss:zzz", EncodeDateTime(2024, 2, 29, 23, 59, 59, 999), "23:59:59:999"},
        {"yyyy-mm-dd hh:nn", EncodeDateTime(1999, 12, 31, 0, 7, 0, 0), "1999-12-31 00:07"},
        {"dd.mm.yy 'at' hh", EncodeDateTime(2026, 1, 2, 3, 0, 0, 0), "02.01.26 at 03"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDateTime(c.format, c.value), c.expected) << c.format;
}

TEST(SysUtilsTest, DecodeRoundsToTheMillisecond)
{
    for (int ms : {0, 1, 5, 499, 999}) {
        int y, mo, d, h, mi, s, z;
        DecodeDateTime(EncodeDateTime(2026, 12, 10, 8, 30, 59, ms), y, mo, d, h, mi, s, z);
        EXPECT_EQ(y, 2026);
        EXPECT_EQ(mo, 12);
        EXPECT_EQ(d, 10);
        EXPECT_EQ(h, 8);
        EXPECT_EQ(mi, 30);
        EXPECT_EQ(s, 59);
        EXPECT_EQ(z, ms);
    }
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 12, 0, 0, 0), 2.5);
}

TEST(SysUtilsTest, TextRoutines)
{
    EXPECT_EQ(Trim("  a b \t"), "a b");
    EXPECT_EQ(IntToHex(0xAB, 8), "000000AB");
    EXPECT_EQ(IntToStr(int64_t(-9000000000LL)), "-9000000000");
    EXPECT_EQ(CompareText("TCP", "tcp"), 0);
    EXPECT_NE(CompareStr("TCP", "tcp"), 0);
    EXPECT_EQ(StringReplace("aXbxc", "x", "-", rfReplaceAll | rfIgnoreCase), "a-b-c");
    EXPECT_EQ(StringReplace("aXbxc", "x", "-", 0), "aXb-c");
    EXPECT_EQ(Format("%s=%d", "n", 42), "n=42");
    EXPECT_EQ(IncludeTrailingPathDelimiter("c:\\x"), "c:\\x\\");
    // The system's text comes without its line end or final full stop.
    std::string text = SysErrorMessage(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '.');
}
