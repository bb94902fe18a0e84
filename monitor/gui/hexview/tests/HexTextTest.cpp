// The saved text, byte by byte, through a sink and into a file.
#include "HexTestBytes.h"
#include "HexTestFiles.h"
#include "HexText.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace hexview_test;

namespace {

class StringSink final : public HexTextSink {
public:
    // `failAfter`: the write that fails, counted from 1 (0: none fails).
    explicit StringSink(int failAfter = 0) : failAfter_(failAfter) {}
    bool Write(const char* data, size_t size) override {
        if (++writes_ == failAfter_)
            return false;
        text.append(data, size);
        return true;
    }
    std::string text;
    int writes() const { return writes_; }

private:
    int failAfter_;
    int writes_ = 0;
};

std::string TextOf(const HexDumpModel& model) {
    StringSink sink;
    EXPECT_TRUE(HexViewWriteText(model, sink));
    return sink.text;
}

std::string Blanks(int groups) { return std::string(3 * groups, ' '); }

struct Chunk {
    HexDirection direction;
    std::vector<uint8_t> bytes;
};

}  // namespace

TEST(HexText, LinesOfRunsAsSaved) {
    const std::string sixteen = "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f ";
    const struct {
        const char* name;
        std::vector<Chunk> chunks;
        std::string text;
    } cases[] = {
        {"a TX run of 41 0d 42 and an RX run of 06",
         {{Tx, {0x41, 0x0D, 0x42}}, {Rx, {0x06}}},
         "TX  41 0d 42 " + Blanks(14) + "A.B\r\n" + "RX  06 " + Blanks(16) + ".\r\n"},
        {"16 bytes are one line", {{Rx, Counting(16)}}, "RX  " + sixteen + Blanks(1) + "................\r\n"},
        {"17 bytes are two, the second unlabelled",
         {{Tx, Counting(17, 0x30)}},
         "TX  30 31 32 33 34 35 36 37 38 39 3a 3b 3c 3d 3e 3f " + Blanks(1) + "0123456789:;<=>?\r\n" +
             "    40 " + Blanks(16) + "@\r\n"},
        {"appends of one direction share a label",
         {{Tx, {0x61}}, {Tx, {0x62}}, {Tx, {0x63}}, {Rx, {0x64}}},
         "TX  61 62 63 " + Blanks(14) + "abc\r\n" + "RX  64 " + Blanks(16) + "d\r\n"},
        {"characters: 20 to 7e as themselves, the rest unsigned and as dots",
         {{Rx, {0x00, 0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80, 0xFF}}},
         "RX  00 1f 20 41 7e 7f 80 ff " + Blanks(9) + ".. A~...\r\n"},
        {"nothing held", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HexDumpModel model;
        for (const Chunk& chunk : c.chunks)
            Append(model, chunk.direction, chunk.bytes);
        EXPECT_EQ(TextOf(model), c.text);
    }
}

TEST(HexText, TheCharacterColumnStartsAtByte55OfEveryLine) {
    for (uint32_t count = 1; count <= 16; ++count) {
        SCOPED_TRACE(count);
        HexDumpModel model;
        Append(model, Rx, std::vector<uint8_t>(count, 'x'));
        const std::string line = TextOf(model);
        ASSERT_EQ(line.size(), 57 + count);
        EXPECT_EQ(line.substr(52, 3), "   ");
        EXPECT_EQ(line.substr(55, count), std::string(count, 'x'));
        EXPECT_EQ(line.substr(55 + count), "\r\n");
    }
}

TEST(HexText, AFailingSinkEndsTheText) {
    HexDumpModel model;
    Append(model, Tx, Counting(100));
    StringSink sink(3);
    EXPECT_FALSE(HexViewWriteText(model, sink));
    EXPECT_EQ(sink.writes(), 3);
    EXPECT_EQ(sink.text.size(), 2u * 73);
}

TEST(HexText, SavedFileHoldsTheTextAlone) {
    HexDumpModel model;
    Append(model, Tx, Counting(65530));
    Append(model, Rx, Counting(30, 0x41));
    const std::string path = TempPath("saved.txt");
    {
        // A longer file of that name is replaced, not overwritten in part.
        HANDLE old = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(old, INVALID_HANDLE_VALUE);
        const std::string filler(400000, 'z');
        DWORD written = 0;
        WriteFile(old, filler.data(), static_cast<DWORD>(filler.size()), &written, nullptr);
        CloseHandle(old);
    }
    ASSERT_TRUE(HexViewSaveText(model, path.c_str()));
    const std::string text = TextOf(model);
    EXPECT_EQ(text.size(), 4094u * 73 + 59 + 73 + 71);
    EXPECT_TRUE(FileContents(path) == text);
    DeleteFileA(path.c_str());
}

TEST(HexText, SaveFailureLeavesTheSystemErrorAsLastError) {
    HexDumpModel model;
    Append(model, Tx, Counting(10));
    const std::string path = TempPath("no-such-directory\\saved.txt");
    SetLastError(0);
    EXPECT_FALSE(HexViewSaveText(model, path.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}
