// The ring, its runs and lines, and the walk to a position.
#include "HexDumpModel.h"
#include "HexLines.h"
#include "HexTestBytes.h"

#include <gtest/gtest.h>

#include <deque>
#include <iterator>
#include <utility>

using namespace hexview_test;

// Found by the test framework next to HexRun.
static void PrintTo(const HexRun& r, std::ostream* os) {
    *os << "{" << (r.direction == HexDirection::Rx ? "Rx" : "Tx") << ", data " << r.data
        << ", length " << r.length << ", lines " << r.lines << "}";
}

namespace {

struct RunShape {
    HexDirection direction;
    uint32_t data;
    uint32_t length;
    uint32_t lines;
};

bool operator==(const RunShape& a, const HexRun& b) {
    return a.direction == b.direction && a.data == b.data && a.length == b.length &&
           a.lines == b.lines;
}

void ExpectRuns(const HexDumpModel& model, const std::vector<RunShape>& expected) {
    ASSERT_EQ(model.runs().size(), expected.size());
    int lines = 0;
    auto run = model.runs().begin();
    for (const RunShape& shape : expected) {
        EXPECT_TRUE(shape == *run) << ::testing::PrintToString(*run);
        lines += static_cast<int>(run->lines);
        ++run;
    }
    EXPECT_EQ(model.totalLines(), lines);
}

size_t IndexOf(const HexDumpModel& model, HexDumpModel::RunRef run) {
    return static_cast<size_t>(std::distance(model.runs().begin(), run));
}

}  // namespace

TEST(HexDumpModel, AppendsOfOneDirectionJoinAndAnotherDirectionStartsARun) {
    HexDumpModel model;
    EXPECT_EQ(Append(model, Tx, Counting(3)), 3u);
    EXPECT_EQ(Append(model, Tx, Counting(5)), 5u);
    EXPECT_EQ(Append(model, Tx, Counting(8)), 8u);
    ExpectRuns(model, {{Tx, 0, 16, 1}});

    // Nothing to append is no run of its own.
    EXPECT_EQ(model.Append(Rx, nullptr, 0), 0u);
    ExpectRuns(model, {{Tx, 0, 16, 1}});

    EXPECT_EQ(Append(model, Rx, Counting(1)), 1u);
    EXPECT_EQ(Append(model, Tx, Counting(17)), 17u);
    ExpectRuns(model, {{Tx, 0, 16, 1}, {Rx, 16, 1, 1}, {Tx, 17, 17, 2}});
    EXPECT_EQ(model.used(), 34u);
}

TEST(HexDumpModel, OverflowDropsTheOldestBytesShorteningOrRemovingHeadRuns) {
    HexDumpModel model;
    ASSERT_EQ(Append(model, Tx, Counting(100)), 100u);
    ASSERT_EQ(Append(model, Rx, Counting(65436, 100)), 65436u);
    ExpectRuns(model, {{Tx, 0, 100, 7}, {Rx, 100, 65436, 4090}});
    ASSERT_TRUE(model.GoTo(0));

    // 65536 + 10 bytes: the first 10 are gone and the head run has 6 lines.
    EXPECT_EQ(Append(model, Tx, Counting(10, 0xA0)), 10u);
    EXPECT_EQ(model.used(), 65536u);
    ExpectRuns(model, {{Tx, 10, 90, 6}, {Rx, 100, 65436, 4090}, {Tx, 0, 10, 1}});
    EXPECT_EQ(model.topRun(), model.runs().begin());
    std::vector<uint8_t> held = HeldBytes(model);
    ASSERT_EQ(held.size(), 65536u);
    EXPECT_EQ(held.front(), 10);
    EXPECT_EQ(held[89], 99);
    EXPECT_EQ(held[90], 100);
    EXPECT_EQ(held.back(), 0xA9);

    // Dropping past the head run removes it, the top run with it, and
    // shortens the next one.
    EXPECT_EQ(Append(model, Tx, Counting(100)), 100u);
    ExpectRuns(model, {{Rx, 110, 65426, 4090}, {Tx, 0, 110, 7}});
    EXPECT_EQ(model.topRun(), model.runs().end());
    EXPECT_EQ(HeldBytes(model).front(), static_cast<uint8_t>(110));
}

TEST(HexDumpModel, OneAppendLargerThanTheRingKeepsItsFirstBytesAlone) {
    HexDumpModel model;
    ASSERT_EQ(Append(model, Tx, Counting(10)), 10u);
    ASSERT_EQ(Append(model, Rx, Counting(20)), 20u);
    std::vector<uint8_t> large = Counting(70000, 7);
    EXPECT_EQ(Append(model, Rx, large), 65536u);
    ExpectRuns(model, {{Rx, 30, 65536, 4096}});
    large.resize(65536);
    EXPECT_EQ(HeldBytes(model), large);
}

TEST(HexDumpModel, AppendsAcrossTheRingEndWrapInWritingAndReading) {
    HexDumpModel model;
    ASSERT_EQ(Append(model, Tx, Counting(65530)), 65530u);
    ASSERT_EQ(Append(model, Rx, Counting(20, 0xF0)), 20u);
    ExpectRuns(model, {{Tx, 14, 65516, 4095}, {Rx, 65530, 20, 2}});
    EXPECT_EQ(model.ring().read(), 14u);
    EXPECT_EQ(model.ring().write(), 14u);

    HexLineReader reader(model, std::next(model.runs().begin()), 0);
    HexLine line;
    ASSERT_TRUE(reader.Next(&line));
    EXPECT_EQ(std::vector<uint8_t>(line.bytes, line.bytes + line.count), Counting(16, 0xF0));
    ASSERT_TRUE(reader.Next(&line));
    EXPECT_EQ(std::vector<uint8_t>(line.bytes, line.bytes + line.count), Counting(4, 0x00));
    EXPECT_FALSE(reader.Next(&line));
}

// Random chunks in both directions against the plain rule: the model holds the
// last 65536 bytes of the stream, one run per stretch of one direction.
TEST(HexDumpModel, HoldsTheNewestBytesOfAnyStreamInRunsOfOneDirection) {
    HexDumpModel model;
    std::deque<std::pair<uint8_t, HexDirection>> expected;
    uint32_t seed = 12345;
    auto random = [&seed](uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % range;
    };
    HexDirection direction = Tx;
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        if (random(3) == 0)
            direction = direction == Tx ? Rx : Tx;
        const uint32_t size = round % 97 == 50 ? 70000 : random(5) == 0 ? random(40) : random(3000);
        std::vector<uint8_t> chunk = Counting(size, static_cast<uint8_t>(random(256)));
        ASSERT_EQ(Append(model, direction, chunk), std::min<uint32_t>(size, 65536));
        chunk.resize(std::min<size_t>(size, 65536));
        for (uint8_t byte : chunk)
            expected.emplace_back(byte, direction);
        while (expected.size() > 65536)
            expected.pop_front();

        std::vector<uint8_t> bytes;
        std::vector<std::pair<HexDirection, uint32_t>> stretches;
        for (const auto& [byte, from] : expected) {
            bytes.push_back(byte);
            if (stretches.empty() || stretches.back().first != from)
                stretches.emplace_back(from, 0);
            ++stretches.back().second;
        }
        ASSERT_EQ(HeldBytes(model), bytes);
        ASSERT_EQ(model.used(), bytes.size());
        ASSERT_EQ(model.runs().size(), stretches.size());
        uint32_t data = model.ring().read();
        int lines = 0;
        auto run = model.runs().begin();
        for (const auto& [from, length] : stretches) {
            ASSERT_EQ(run->direction, from);
            ASSERT_EQ(run->length, length);
            ASSERT_EQ(run->data, data);
            ASSERT_EQ(run->lines, (length + 15) / 16);
            data = model.ring().Advance(data, length);
            lines += static_cast<int>(run->lines);
            ++run;
        }
        ASSERT_EQ(data, model.ring().write());
        ASSERT_EQ(model.totalLines(), lines);
    }
}

TEST(HexDumpModel, GoToFindsTheRunAndLineOfAPosition) {
    HexDumpModel model;
    Append(model, Tx, Counting(40));  // lines 0-2
    Append(model, Rx, Counting(16));  // line 3
    Append(model, Tx, Counting(33));  // lines 4-6
    ASSERT_EQ(model.totalLines(), 7);
    EXPECT_EQ(model.topRun(), model.runs().end());

    const struct {
        int position;
        bool changed;
        size_t run;
        int offset;
    } steps[] = {
        {6, true, 2, 2}, {6, false, 2, 2}, {0, true, 0, 0}, {2, true, 0, 2}, {3, true, 1, 0},
        {4, true, 2, 0}, {5, true, 2, 1}, {1, true, 0, 1},
        {7, false, 0, 1},   // beyond the last line: unchanged
        {-5, true, 0, 0},   // before the first: line 0
        {-1, false, 0, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.position);
        EXPECT_EQ(model.GoTo(step.position), step.changed);
        ASSERT_NE(model.topRun(), model.runs().end());
        EXPECT_EQ(IndexOf(model, model.topRun()), step.run);
        EXPECT_EQ(model.topOffset(), step.offset);
    }
}

TEST(HexDumpModel, VisibleLinesStartAtTheTopLine) {
    HexDumpModel model;
    Append(model, Tx, Counting(40));
    Append(model, Rx, Counting(20, 0x80));

    struct Seen {
        HexDirection direction;
        bool firstOfRun;
        uint32_t count;
        uint8_t firstByte;
    };
    auto read = [&model](HexLineReader reader) {
        std::vector<Seen> seen;
        HexLine line;
        while (reader.Next(&line))
            seen.push_back({line.direction, line.firstOfRun, line.count, line.count ? line.bytes[0] : uint8_t{0}});
        return seen;
    };
    auto expect = [](const std::vector<Seen>& seen, const std::vector<Seen>& expected) {
        ASSERT_EQ(seen.size(), expected.size());
        for (size_t i = 0; i < seen.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(seen[i].direction, expected[i].direction);
            EXPECT_EQ(seen[i].firstOfRun, expected[i].firstOfRun);
            EXPECT_EQ(seen[i].count, expected[i].count);
            EXPECT_EQ(seen[i].firstByte, expected[i].firstByte);
        }
    };

    // Without a top run, from the oldest line.
    expect(read(HexLineReader::Visible(model)),
           {{Tx, true, 16, 0}, {Tx, false, 16, 16}, {Tx, false, 8, 32}, {Rx, true, 16, 0x80}, {Rx, false, 4, 0x90}});
    ASSERT_TRUE(model.GoTo(1));
    expect(read(HexLineReader::Visible(model)),
           {{Tx, false, 16, 16}, {Tx, false, 8, 32}, {Rx, true, 16, 0x80}, {Rx, false, 4, 0x90}});
    // A line offset past its run's end gives one empty line of that run.
    expect(read(HexLineReader(model, model.runs().begin(), 9)),
           {{Tx, false, 0, 0}, {Rx, true, 16, 0x80}, {Rx, false, 4, 0x90}});
}

TEST(HexDumpModel, ClearEmptiesEverythingAndTheNextAppendStartsAfresh) {
    HexDumpModel model;
    Append(model, Tx, Counting(65530));
    Append(model, Rx, Counting(20, 1));
    ASSERT_TRUE(model.GoTo(100));
    model.Clear();
    EXPECT_EQ(model.used(), 0u);
    EXPECT_TRUE(model.runs().empty());
    EXPECT_EQ(model.totalLines(), 0);
    EXPECT_EQ(model.topRun(), model.runs().end());
    EXPECT_EQ(model.topOffset(), 0);
    EXPECT_FALSE(model.GoTo(0));
    bool allZero = true;
    for (uint32_t i = 0; i < model.capacity(); ++i)
        allZero = allZero && model.ring().At(i) == 0;
    EXPECT_TRUE(allZero);

    Append(model, Rx, Counting(5, 9));
    ExpectRuns(model, {{Rx, 0, 5, 1}});
    EXPECT_EQ(HeldBytes(model), Counting(5, 9));
}

TEST(HexDumpModel, ARingWithoutStorageTakesNothing) {
    HexDumpModel model(0);
    EXPECT_EQ(model.capacity(), 0u);
    EXPECT_EQ(Append(model, Tx, Counting(10)), 0u);
    EXPECT_TRUE(model.runs().empty());
    EXPECT_EQ(model.totalLines(), 0);
}
