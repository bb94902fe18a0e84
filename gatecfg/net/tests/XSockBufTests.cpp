#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "net/CalyxXSockBuf.h"

using namespace calyx;

namespace {

std::vector<char> Bytes(int count, int seed = 0)
{
    std::vector<char> v(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        v[size_t(i)] = char((i * 7 + seed) & 0xFF);
    return v;
}

// Block lengths of the chain, draining it:
// each Remove takes exactly the head block.
std::vector<int> DrainBlocks(TCxBufferHandler& h)
{
    std::vector<int> sizes;
    const char* p;
    while (int n = h.Peek(p)) {
        sizes.push_back(n);
        h.Remove(n);
    }
    return sizes;
}

struct BufferTest : ::testing::Test {
    TCxBufferHandler* H = rtl::Create<TCxBufferHandler>(nullptr);
    void TearDown() override { H->Free(); }
};

}  // namespace

TEST_F(BufferTest, WritesFillBlocksOfTheBlockSize)
{
    EXPECT_TRUE(H->IsEmpty());
    auto data = Bytes(3000);
    H->Lock();
    H->Write(data.data(), 3000);
    H->Unlock();
    const char* p;
    ASSERT_EQ(H->Peek(p), 1460);
    EXPECT_EQ(std::string(p, 1460), std::string(data.data(), 1460));
    EXPECT_EQ(DrainBlocks(*H), (std::vector<int>{1460, 1460, 80}));
    EXPECT_TRUE(H->IsEmpty());

    // A partly filled tail block is topped up before a new one is taken.
    H->Write(data.data(), 100);
    H->Write(data.data(), 1400);
    EXPECT_EQ(DrainBlocks(*H), (std::vector<int>{1460, 40}));
}

TEST_F(BufferTest, RemoveTouchesOnlyTheHeadBlockAndRecyclesIt)
{
    auto data = Bytes(3000);
    H->Write(data.data(), 3000);
    const char* first;
    H->Peek(first);
    H->Remove(2000);  // only the head block's 1460 go
    const char* p;
    ASSERT_EQ(H->Peek(p), 1460);
    EXPECT_EQ(std::string(p, 1460), std::string(data.data() + 1460, 1460));

    H->Remove(100);
    ASSERT_EQ(H->Peek(p), 1360);
    EXPECT_EQ(p[0], data[1560]);

    // The recycled block is the next one taken: no new allocation.
    H->DeleteAll();
    EXPECT_TRUE(H->IsEmpty());
    std::set<const char*> seen;
    for (int round = 0; round < 2; ++round) {
        H->Write(data.data(), 3000);
        while (H->Peek(p)) {
            if (round == 0)
                seen.insert(p);
            else
                EXPECT_EQ(seen.count(p), 1u) << "a fresh block was allocated";
            H->Remove(1460);
        }
    }
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen.count(first), 1u);
}

TEST_F(BufferTest, RemoveErrors)
{
    try {
        H->Remove(1);
        ADD_FAILURE() << "removed from an empty chain";
    } catch (ECxException& e) {
        EXPECT_EQ(e.Message(), "TCxBufferHandler.Remove: nothing to remove");
    }
    H->Write("abc", 3);
    try {
        H->Remove(-1);
        ADD_FAILURE() << "negative length accepted";
    } catch (ECxException& e) {
        EXPECT_EQ(e.Message(), "TCxBufferHandler.Remove: Invalid Len -1");
    }
    const char* p;
    EXPECT_EQ(H->Peek(p), 3);
}

TEST_F(BufferTest, RandomWritesAndRemovesMatchAQueue)
{
    std::mt19937 rng(12345);
    std::deque<char> reference;
    H->SetBlockSize(97);  // small blocks to cross boundaries often
    int seed = 0;
    for (int step = 0; step < 4000; ++step) {
        if (rng() % 2) {
            int n = int(rng() % 300);
            auto data = Bytes(n, ++seed);
            H->Write(data.data(), n);
            reference.insert(reference.end(), data.begin(), data.end());
        } else if (!H->IsEmpty()) {
            const char* p;
            int pending = H->Peek(p);
            ASSERT_GT(pending, 0);
            ASSERT_LE(size_t(pending), reference.size());
            ASSERT_TRUE(std::equal(p, p + pending, reference.begin()));
            int n = int(rng() % 150);
            H->Remove(n);
            reference.erase(reference.begin(), reference.begin() + std::min(n, pending));
        } else {
            ASSERT_TRUE(reference.empty());
        }
    }
    std::string rest;
    const char* p;
    while (int n = H->Peek(p)) {
        rest.append(p, size_t(n));
        H->Remove(n);
    }
    EXPECT_EQ(rest, std::string(reference.begin(), reference.end()));
}

TEST(BufferBlockTest, BlockCountsAndSizeChanges)
{
    TCxBuffer b(10);
    EXPECT_EQ(b.Write("0123456789AB", 2, 10), 10);
    EXPECT_EQ(b.Write("x", 0, 1), 0);
    EXPECT_EQ(b.Remove(4), 4);
    const char* p;
    ASSERT_EQ(b.Peek(p), 6);
    EXPECT_EQ(std::string(p, 6), "6789AB");

    // Shrinking below the pending bytes is refused and the data kept.
    EXPECT_FALSE(b.SetBlockSize(5));
    EXPECT_EQ(b.BlockSize(), 10);
    ASSERT_EQ(b.Peek(p), 6);
    EXPECT_EQ(std::string(p, 6), "6789AB");

    // A size that holds them keeps exactly the pending bytes.
    EXPECT_TRUE(b.SetBlockSize(6));
    ASSERT_EQ(b.Peek(p), 6);
    EXPECT_EQ(std::string(p, 6), "6789AB");
    EXPECT_EQ(b.Write("z", 0, 1), 0);
    EXPECT_EQ(b.Remove(100), 6);
    EXPECT_EQ(b.WriteCount(), 0);
    EXPECT_EQ(b.ReadCount(), 0);
    EXPECT_TRUE(b.SetBlockSize(0));
    EXPECT_EQ(b.BlockSize(), 1460);
}
