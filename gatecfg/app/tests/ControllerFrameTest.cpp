#include "ControllerFrame.h"

#include <gtest/gtest.h>

using namespace gatecfg;

TEST(ControllerFrame, Crc8OfKnownFrames)
{
    const struct { const char* text; const char* crc; } cases[] = {
        {"", "FF"},
        {"abc", "E2"},
        {"$127BRD", "21"},
        {"$127BGN", "E3"},
        {"$127BPING", "5C"},
        {"$127BECHO", "CC"},
        {"$089BGN", "08"},   // leading zero kept
        {"#127BGN", "1E"},   // the start character counts
        {"$127BRS", "F5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Crc8Text(c.text), c.crc) << '"' << c.text << '"';
        EXPECT_EQ(AppendCrc(c.text), std::string(c.text) + c.crc) << '"' << c.text << '"';
    }
}

TEST(ControllerFrame, Crc8TakesCharactersAsUnsignedBytes)
{
    // Sign-extending a char above 0x7F before the XOR would give other values.
    EXPECT_EQ(Crc8Text("\xE0"), "6D");
    EXPECT_EQ(Crc8Text("\x80\xFE\x01"), "DA");
    EXPECT_EQ(Crc8Text("$127BGN\xC8\xEC\xFF"), "8F");  // Windows-1251 letters
}

TEST(ControllerFrame, FieldsOfShortLinesReadAsEmpty)
{
    const struct { const char* line; std::size_t pos, len; const char* field; } cases[] = {
        {"", 1, 1, ""},
        {"", 5, 20, ""},
        {"#", 1, 1, "#"},
        {"#", 2, 3, ""},
        {"#1", 2, 3, "1"},
        {"#1", 3, 1, ""},
        {"$PING", 2, 4, "PING"},
        {"$PING", 5, 1, "G"},
        {"$PING", 5, 20, "G"},
        {"$PING", 6, 1, ""},
        {"$PING", 0, 1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FieldAt(c.line, c.pos, c.len), c.field)
            << '"' << c.line << "\" at " << c.pos << " length " << c.len;
}

TEST(ControllerFrame, ReplyBodyDropsStartAndCrc)
{
    EXPECT_EQ(ReplyBody(""), "");
    EXPECT_EQ(ReplyBody("#"), "");
    EXPECT_EQ(ReplyBody("#1"), "");
    EXPECT_EQ(ReplyBody("#12"), "");
    EXPECT_EQ(ReplyBody("#123"), "1");
    EXPECT_EQ(ReplyBody("#127BGNname  5A"), "127BGNname  ");
}

TEST(ControllerFrame, KeepAliveAndDeviceIdentity)
{
    EXPECT_TRUE(IsKeepAlive("$127BPING5C"));
    EXPECT_TRUE(IsKeepAlive("$xxPINGxx"));
    EXPECT_FALSE(IsKeepAlive("#127BPING5C"));
    EXPECT_FALSE(IsKeepAlive("$127BPIN"));
    EXPECT_EQ(EchoFrame("$127BPING5C"), "$127BECHOCC");
    EXPECT_EQ(EchoFrame("$PING"), AppendCrc("$PINGECHO"));

    const DeviceIdentity terminal = DeviceIdentityFromLine("$089IPING00");
    EXPECT_EQ(terminal.DevNum, "089");
    EXPECT_EQ(terminal.Side, "I");
    const DeviceIdentity shortLine = DeviceIdentityFromLine("$1");
    EXPECT_EQ(shortLine.DevNum, "1");
    EXPECT_EQ(shortLine.Side, "");
}
