// Splitting log records into code, name and payload, each record placed right
// before an inaccessible page so that any read past its end faults.
#include "frontend/MonitorRecordView.h"

#include "ByteRecord.h"
#include "GuardedBuffer.h"

#include <gtest/gtest.h>

#include <string>

using quelstd_test::Bytes;
using quelstd_test::GuardedBuffer;

namespace {

struct Case {
    const char* label;
    Bytes record;
    bool valid;
    const char* name;     // expected when valid
    std::string payload;  // expected when valid
};

Bytes Header(uint32_t code) { return Bytes().U32(code).U32(0xA5A5A5A5); }

}  // namespace

TEST(MonitorRecordViewTest, SplitsWellFormedRecordsAndRefusesMalformedOnes)
{
    const Case cases[] = {
        {"empty", Bytes(), false, nullptr, ""},
        {"one byte", Bytes().U8(0), false, nullptr, ""},
        {"header only", Header(3), false, nullptr, ""},
        {"zero header words do not end the name", Bytes().U32(0).U32(0), false, nullptr, ""},
        {"zero header, name without NUL", Bytes().U32(0).U32(0).Ansi("AB"), false, nullptr, ""},
        {"one name byte, no NUL", Header(3).Ansi("C"), false, nullptr, ""},
        {"name runs to the end", Header(3).Ansi("COM1"), false, nullptr, ""},
        {"9 bytes: empty name, empty payload", Header(3).U8(0), true, "", ""},
        {"empty name with payload", Header(3).U8(0).Ansi("abc"), true, "", "abc"},
        {"name, no payload", Header(3).Ansi("COM1").U8(0), true, "COM1", ""},
        {"name and payload", Header(3).Ansi("COM1").U8(0).Ansi("xyz"), true, "COM1", "xyz"},
        {"NULs in the payload belong to it", Header(3).Ansi("COM1").U8(0).U8(0).Ansi("q").U8(0), true, "COM1",
         std::string("\0q\0", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        GuardedBuffer buffer(c.record.bytes());
        ASSERT_TRUE(buffer.valid());
        const uint32_t size = static_cast<uint32_t>(c.record.size());
        MonitorRecordView view = {};
        view.code = 0xDEADBEEF;
        ASSERT_EQ(SplitMonitorRecord(buffer.data(), size, &view), c.valid);
        if (!c.valid) {
            EXPECT_EQ(view.code, 0xDEADBEEFu);
            EXPECT_EQ(view.name, nullptr);
            continue;
        }
        const auto* bytes = static_cast<const uint8_t*>(buffer.data());
        EXPECT_EQ(view.code, 3u);
        EXPECT_STREQ(view.name, c.name);
        EXPECT_EQ(view.nameLength, std::string(c.name).size());
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(view.name), bytes + 8);
        EXPECT_EQ(view.payload, bytes + 8 + view.nameLength + 1);
        EXPECT_EQ(view.payload + view.payloadLength, bytes + size);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.payload), view.payloadLength), c.payload);
    }
}

TEST(MonitorRecordViewTest, RefusesANullRecord)
{
    MonitorRecordView view = {};
    EXPECT_FALSE(SplitMonitorRecord(nullptr, 16, &view));
}
