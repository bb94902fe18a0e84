#include "SharedMemory.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using services_test::HelperProcess;
using services_test::Quoted;
using services_test::RunHelper;
using services_test::UniqueName;

// A view of a region made without CSharedMemory, to see what it wrote.
class RawRegion {
public:
    explicit RawRegion(const std::string& name)
        : mapping_(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()))
    {
        if (mapping_)
            view_ = MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0);
    }
    ~RawRegion()
    {
        if (view_)
            UnmapViewOfFile(view_);
    }

    bool IsOpen() const { return view_ != nullptr; }
    const SharedMemoryHeader& Header() const { return *static_cast<const SharedMemoryHeader*>(view_); }
    std::vector<uint8_t> Payload(size_t size) const
    {
        const uint8_t* start = reinterpret_cast<const uint8_t*>(&Header() + 1);
        return std::vector<uint8_t>(start, start + size);
    }

private:
    win32::UniqueHandle mapping_;
    void* view_ = nullptr;
};

void StoreWord(CSharedMemory& region, uint32_t value)
{
    ASSERT_GE(region.SharedMemorySize(), sizeof value);
    std::memcpy(region.SharedMemoryPayload(), &value, sizeof value);
}

TEST(SharedMemory, CreateWritesTheHeaderAndAZeroedPayload)
{
    const std::string name = UniqueName("region");
    CSharedMemory region;
    ASSERT_TRUE(region.SharedMemoryCreate(name.c_str(), 20));
    EXPECT_TRUE(region.SharedMemoryIsValid());
    EXPECT_EQ(region.Name(), name);
    EXPECT_EQ(region.SharedMemorySize(), 20u);

    RawRegion raw(name);
    ASSERT_TRUE(raw.IsOpen());
    EXPECT_EQ(raw.Header().magic, 0x534D454Du);
    EXPECT_EQ(std::memcmp(&raw.Header().magic, "MEMS", 4), 0);
    EXPECT_EQ(raw.Header().payloadSize, 20u);
    EXPECT_EQ(raw.Header().users, 1u);
    EXPECT_EQ(raw.Payload(20), std::vector<uint8_t>(20, 0));
    StoreWord(region, 7);
    EXPECT_EQ(raw.Payload(1), std::vector<uint8_t>(1, 7));  // the payload follows the header
}

TEST(SharedMemory, ASecondCreateFailsAndLeavesTheFirstRegionAsItWas)
{
    const std::string name = UniqueName("region");
    CSharedMemory first;
    ASSERT_TRUE(first.SharedMemoryCreate(name.c_str(), 4));
    StoreWord(first, 0x12345678);

    CSharedMemory second;
    EXPECT_FALSE(second.SharedMemoryCreate(name.c_str(), 8));
    EXPECT_FALSE(second.SharedMemoryIsValid());
    EXPECT_EQ(second.Name(), "");
    EXPECT_EQ(RunHelper("create " + Quoted(name) + " 8"), 1u);  // nor from another process

    RawRegion raw(name);
    ASSERT_TRUE(raw.IsOpen());
    EXPECT_EQ(raw.Header().payloadSize, 4u);
    EXPECT_EQ(raw.Header().users, 1u);
    uint32_t stored = 0;
    std::memcpy(&stored, raw.Payload(4).data(), 4);
    EXPECT_EQ(stored, 0x12345678u);
}

TEST(SharedMemory, CreateFailsWhileTheGuardNameIsTaken)
{
    const std::string name = UniqueName("region");
    win32::UniqueHandle foreignGuard(CreateMutexA(nullptr, FALSE, (name + "GUARD").c_str()));
    ASSERT_TRUE(foreignGuard);

    CSharedMemory region;
    EXPECT_FALSE(region.SharedMemoryCreate(name.c_str(), 4));
    EXPECT_FALSE(region.SharedMemoryIsValid());
    EXPECT_FALSE(RawRegion(name).IsOpen());  // the mapping it made is gone again
}

TEST(SharedMemory, OpenFailsWithoutBothTheMappingAndTheGuard)
{
    CSharedMemory region;
    EXPECT_FALSE(region.SharedMemoryOpen(UniqueName("missing").c_str()));

    const std::string name = UniqueName("region");
    win32::UniqueHandle mappingAlone(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, name.c_str()));
    ASSERT_TRUE(mappingAlone);
    EXPECT_FALSE(region.SharedMemoryOpen(name.c_str()));
    EXPECT_FALSE(region.SharedMemoryIsValid());
    EXPECT_EQ(region.Name(), "");
}

TEST(SharedMemory, OpenAndCloseMoveTheUserCount)
{
    const std::string name = UniqueName("region");
    CSharedMemory creator;
    ASSERT_TRUE(creator.SharedMemoryCreate(name.c_str(), 4));
    RawRegion raw(name);
    ASSERT_TRUE(raw.IsOpen());

    CSharedMemory opener;
    ASSERT_TRUE(opener.SharedMemoryOpen(name.c_str()));
    EXPECT_EQ(raw.Header().users, 2u);
    EXPECT_EQ(opener.SharedMemorySize(), 4u);
    StoreWord(creator, 0xCAFE);
    EXPECT_EQ(*static_cast<uint32_t*>(opener.SharedMemoryPayload()), 0xCAFEu);

    // Opening again through the same object closes first: still two users.
    ASSERT_TRUE(opener.SharedMemoryOpen(name.c_str()));
    EXPECT_EQ(raw.Header().users, 2u);

    opener.SharedMemoryClose();
    EXPECT_FALSE(opener.SharedMemoryIsValid());
    EXPECT_EQ(opener.Name(), "");
    EXPECT_EQ(raw.Header().users, 1u);
    creator.SharedMemoryClose();
    EXPECT_EQ(raw.Header().users, 0u);
}

TEST(SharedMemory, AnotherProcessSharesThePayloadAndTheUserCount)
{
    const std::string name = UniqueName("region");
    CSharedMemory creator;
    ASSERT_TRUE(creator.SharedMemoryCreate(name.c_str(), 4));
    StoreWord(creator, 0x00C0FFEE);
    EXPECT_EQ(RunHelper("peek " + Quoted(name)), 0x00C0FFEEu);

    const std::string ready = UniqueName("ready");
    const std::string quit = UniqueName("quit");
    win32::UniqueHandle readyEvent(CreateEventA(nullptr, TRUE, FALSE, ready.c_str()));
    win32::UniqueHandle quitEvent(CreateEventA(nullptr, TRUE, FALSE, quit.c_str()));
    HelperProcess helper("stay " + Quoted(name) + " " + Quoted(ready) + " " + Quoted(quit));
    ASSERT_TRUE(helper.Started());
    ASSERT_EQ(WaitForSingleObject(readyEvent.get(), 20000), WAIT_OBJECT_0);
    RawRegion raw(name);
    EXPECT_EQ(raw.Header().users, 2u);
    SetEvent(quitEvent.get());
    EXPECT_EQ(helper.Finish(), 0u);
    EXPECT_EQ(raw.Header().users, 1u);
}

TEST(SharedMemory, ARegionWithAnEmptyPayloadOpensWithSizeZero)
{
    const std::string name = UniqueName("region");
    CSharedMemory creator;
    ASSERT_TRUE(creator.SharedMemoryCreate(name.c_str(), 0));
    CSharedMemory opener;
    ASSERT_TRUE(opener.SharedMemoryOpen(name.c_str()));
    EXPECT_EQ(opener.SharedMemorySize(), 0u);
    EXPECT_NE(opener.SharedMemoryPayload(), nullptr);
    EXPECT_EQ(RunHelper("peek " + Quoted(name)), 0u);  // it checks the size before reading
}

TEST(SharedMemory, AClosedObjectOffersNothing)
{
    CSharedMemory region;
    EXPECT_FALSE(region.SharedMemoryIsValid());
    EXPECT_EQ(region.SharedMemoryLock(0), WAIT_FAILED);
    EXPECT_EQ(region.SharedMemoryUnlock(), FALSE);
    EXPECT_EQ(region.SharedMemoryPayload(), nullptr);
    EXPECT_EQ(region.SharedMemorySize(), 0u);
    region.SharedMemoryClose();  // closing twice is harmless
}

// A process that dies holding the guard leaves it abandoned; the next user
// owns it through that wait, counts and releases it, so nobody hangs later.
TEST(SharedMemory, AnAbandonedGuardStillCountsAndIsReleased)
{
    const std::string name = UniqueName("region");
    CSharedMemory creator;
    ASSERT_TRUE(creator.SharedMemoryCreate(name.c_str(), 4));
    ASSERT_EQ(RunHelper("hold " + Quoted(name)), 0u);
    RawRegion raw(name);
    ASSERT_EQ(raw.Header().users, 2u);  // the dead holder never closed

    CSharedMemory next;
    ASSERT_TRUE(next.SharedMemoryOpen(name.c_str()));
    EXPECT_EQ(raw.Header().users, 3u);

    // Another process can still take the guard: it was released after the count.
    EXPECT_EQ(RunHelper("peek " + Quoted(name)), 0u);
    EXPECT_EQ(raw.Header().users, 3u);
    EXPECT_EQ(next.SharedMemoryLock(0), WAIT_OBJECT_0);
    EXPECT_NE(next.SharedMemoryUnlock(), FALSE);
}

}  // namespace
