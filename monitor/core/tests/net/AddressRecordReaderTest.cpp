#include "net/AddressRecordReader.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>

namespace {

// Builds pipe records byte by byte, so that every field can be made wrong.
std::string PipeRecord(uint32_t size, uint32_t flags, const std::string& nameField,
                       const std::string& extra = "", uint32_t type = kAddressTypePipe)
{
    std::string r(12, '\0');
    std::memcpy(&r[0], &size, 4);
    std::memcpy(&r[4], &type, 4);
    std::memcpy(&r[8], &flags, 4);
    return r + nameField + extra;
}

std::string Narrow(const char* name) { return std::string(name) + '\0'; }
std::string Wide(const char* name)
{
    std::string out;
    for (const char* p = name;; ++p) {
        out += *p;
        out += '\0';
        if (!*p)
            return out;
    }
}

TEST(AddressRecordReader, ReadsWellFormedPipeRecords)
{
    PipeRecordView view;
    const std::string defaultRecord = PipeRecord(8, 0, "").substr(0, 8);
    ASSERT_EQ(PipeRecordRead(defaultRecord.data(), 8, &view), kStatusSuccess);
    EXPECT_EQ(view.nameUnits, 0u);
    EXPECT_EQ(view.extra, nullptr);

    const std::string narrow = PipeRecord(16, 0, Narrow("abc"));
    ASSERT_EQ(PipeRecordRead(narrow.data(), 100, &view), kStatusSuccess) << "more bytes than the record is fine";
    EXPECT_EQ(std::string(static_cast<const char*>(view.name), view.nameUnits), "abc");
    EXPECT_FALSE(view.wide);

    const std::string wide = PipeRecord(20, 1 | (20 << 1), Wide("abc"), "XYZW");
    ASSERT_EQ(PipeRecordRead(wide.data(), 24, &view), kStatusSuccess);
    EXPECT_TRUE(view.wide);
    EXPECT_EQ(view.nameUnits, 3u);
    EXPECT_EQ(view.extra, nullptr) << "total size 20 ends at the extra offset";

    const std::string extra = PipeRecord(20, 16 << 1, Narrow("abc"), "XYZW");
    ASSERT_EQ(PipeRecordRead(extra.data(), 20, &view), kStatusSuccess);
    EXPECT_EQ(std::string(static_cast<const char*>(view.extra), view.extraBytes), "XYZW");
}

TEST(AddressRecordReader, RejectsMalformedRecords)
{
    struct Case {
        const char* what;
        std::string bytes;
        uint32_t available;
    } cases[] = {
        {"shorter than a header", PipeRecord(8, 0, ""), 7},
        {"size below 8", PipeRecord(7, 0, Narrow("abc")), 16},
        {"size beyond the bytes", PipeRecord(17, 0, Narrow("abc")), 16},
        {"not a pipe record", PipeRecord(16, 0, Narrow("abc"), "", kAddressTypeTcp), 16},
        {"flags word cut short", PipeRecord(11, 0, ""), 12},
        {"no name field at all", PipeRecord(12, 0, ""), 12},
        {"no terminator", PipeRecord(15, 0, "abc"), 15},
        {"terminator after the field", PipeRecord(15, 0, Narrow("abc")), 16},
        {"extra offset inside the header", PipeRecord(16, 8 << 1, Narrow("abc")), 16},
        {"extra offset beyond the size", PipeRecord(16, 17 << 1, Narrow("abc"), "X"), 17},
        {"terminator only in the extra data", PipeRecord(20, 15 << 1, Narrow("abc"), "XYZW"), 20},
        {"odd UTF-16 field", PipeRecord(19, 1, Wide("ab") + "x"), 19},
        {"UTF-16 without terminator", PipeRecord(16, 1, std::string("a\0b\0", 4)), 16},
        {"UTF-16 terminator split across units", PipeRecord(18, 1, std::string("a\0\0b\0a", 6)), 18},
    };
    for (const Case& c : cases) {
        PipeRecordView view;
        EXPECT_EQ(PipeRecordRead(c.bytes.data(), c.available, &view), kStatusInvalidAddress) << c.what;
    }
    EXPECT_EQ(AddressRecordCheck(nullptr, 100), kStatusInvalidAddress);
}

}  // namespace
