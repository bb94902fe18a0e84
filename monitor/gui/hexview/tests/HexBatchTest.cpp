// Records taken in batches leave the model as records appended one by one.
#include "HexBatch.h"
#include "HexTestBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

using namespace hexview_test;

namespace {

constexpr uint32_t kSmallRing = 64;

struct Record {
    HexDirection direction;
    std::vector<uint8_t> bytes;
};

struct Sequence {
    std::string name;
    std::vector<Record> records;
};

// What a model shows: its runs, line count and bytes.
using Contents = std::tuple<std::vector<std::tuple<HexDirection, uint32_t, uint32_t, uint32_t>>, int,
                            uint32_t, std::vector<uint8_t>>;

Contents ContentsOf(const HexDumpModel& model)
{
    std::vector<std::tuple<HexDirection, uint32_t, uint32_t, uint32_t>> runs;
    for (const HexRun& run : model.runs())
        runs.emplace_back(run.direction, run.data, run.length, run.lines);
    return {runs, model.totalLines(), model.used(), HeldBytes(model)};
}

}  // namespace

TEST(HexBatch, RecordsInBatchesOfAnySizeShowWhatRecordByRecordAppendsShow)
{
    uint8_t first = 0;
    const auto record = [&first](HexDirection direction, size_t length) {
        Record r{direction, Counting(length, first)};
        first = static_cast<uint8_t>(first + length);
        return r;
    };
    const std::vector<Sequence> sequences = {
        {"nothing", {}},
        {"one direction", {record(Tx, 3), record(Tx, 20), record(Tx, 9)}},
        {"direction changes", {record(Tx, 5), record(Rx, 17), record(Rx, 1), record(Tx, 16), record(Rx, 2)}},
        {"empty records between", {record(Rx, 4), record(Tx, 0), record(Rx, 0), record(Rx, 6)}},
        {"full ring drops the oldest runs",
         {record(Tx, 30), record(Rx, 30), record(Tx, 30), record(Rx, 10), record(Rx, 40)}},
        // Joined, these two would keep the first ring's worth instead of the last.
        {"records of one direction larger than half the ring", {record(Rx, 40), record(Rx, 40), record(Rx, 50)}},
        {"a record larger than the ring", {record(Tx, 10), record(Rx, 100), record(Tx, 7)}},
    };

    for (const Sequence& sequence : sequences) {
        SCOPED_TRACE(sequence.name);
        HexDumpModel oneByOne(kSmallRing);
        for (const Record& r : sequence.records)
            Append(oneByOne, r.direction, r.bytes);
        const Contents expected = ContentsOf(oneByOne);

        for (size_t perBatch = 1; perBatch <= std::max<size_t>(1, sequence.records.size()); ++perBatch) {
            SCOPED_TRACE("records per batch: " + std::to_string(perBatch));
            HexDumpModel batched(kSmallRing);
            for (size_t start = 0; start < sequence.records.size(); start += perBatch) {
                HexBatch batch;
                for (size_t i = start; i < std::min(start + perBatch, sequence.records.size()); ++i) {
                    const Record& r = sequence.records[i];
                    batch.Add(r.direction, r.bytes.data(), static_cast<uint32_t>(r.bytes.size()));
                }
                batch.AppendTo(batched);
            }
            EXPECT_EQ(ContentsOf(batched), expected);
        }
    }
}

TEST(HexBatch, HoldsTheBytesOfItsRecordsAndSwapsThemWhole)
{
    HexBatch queued;
    EXPECT_TRUE(queued.empty());
    const std::vector<uint8_t> bytes = Counting(5);
    queued.Add(Rx, bytes.data(), 5);
    queued.Add(Tx, bytes.data(), 0);
    queued.Add(Tx, bytes.data(), 3);
    EXPECT_EQ(queued.size(), 8u);

    HexBatch taken;
    taken.swap(queued);
    EXPECT_TRUE(queued.empty());
    EXPECT_EQ(queued.size(), 0u);
    HexDumpModel model(kSmallRing);
    EXPECT_EQ(taken.AppendTo(model), 8u);
    EXPECT_EQ(model.runs().size(), 2u);
}
