#include "net/CompletionMessage.h"
#include "net/FamilyRegistry.h"
#include "runtime/Framework.h"
#include "runtime/BlockOwner.h"
#include "support/CoreTestFixture.h"
#include "support/MessageRecorder.h"
#include "support/TestThreads.h"
#include <thread>
#include <vector>

namespace {

class FamilyRegistry : public CoreTest {};

NtStatus FakeFactory(const AddressRecord* record, const Closure* closure)
{
    return NotifyStatusObjectAddress(closure, kStatusSuccess, nullptr, record);
}
NtStatus OtherFakeFactory(const AddressRecord*, const Closure*) { return kStatusSuccess; }

TEST_F(FamilyRegistry, NetInitRegistersBothFamilies)
{
    EXPECT_TRUE(NetInit());
    EXPECT_TRUE(NetInit()) << "later calls return at once";
    MessageRecorder rec;
    BlockOwner<AddressRecord> pipe(PipeAddressFromNameA("x", nullptr, 0));
    for (uint32_t family : {kFamilyIpv4, kFamilyPipe}) {
        FamilyFactory factory = FindFamilyProvider(family);
        ASSERT_NE(factory, nullptr) << family;
        factory(pipe.get(), &rec.closure);
        ASSERT_EQ(rec.Last().size(), 8u + pipe->size);
        // The pipe transport makes its endpoint; the IPv4 one cannot make a
        // socket of family 65 and hands out nothing.
        EXPECT_EQ(U32At(rec.Last(), 0) == kStatusSuccess, family == kFamilyPipe);
        EXPECT_EQ(U32At(rec.Last(), 4) != 0, family == kFamilyPipe);
    }
    EXPECT_EQ(FindFamilyProvider(3), nullptr);
}

TEST_F(FamilyRegistry, LaterRegistrationHidesEarlierOne)
{
    ASSERT_TRUE(NetInit());
    FamilyFactory placeholder = FindFamilyProvider(kFamilyPipe);
    EXPECT_EQ(RegisterFamilyProvider(kFamilyPipe, FakeFactory), kStatusSuccess);
    EXPECT_EQ(FindFamilyProvider(kFamilyPipe), FakeFactory);
    EXPECT_EQ(RegisterFamilyProvider(kFamilyPipe, OtherFakeFactory), kStatusSuccess);
    EXPECT_EQ(FindFamilyProvider(kFamilyPipe), OtherFakeFactory);
    EXPECT_NE(FindFamilyProvider(kFamilyIpv4), nullptr);
    EXPECT_NE(placeholder, FakeFactory);

    BlockAllocFailAfter(0);
    EXPECT_EQ(RegisterFamilyProvider(7, FakeFactory), kStatusNoMemory);
    BlockAllocFailAfter(-1);
    EXPECT_EQ(FindFamilyProvider(7), nullptr);
}

// A restart of the framework starts from a fresh registry and a fresh NetInit.
TEST_F(FamilyRegistry, RestartForgetsRegistrations)
{
    ASSERT_TRUE(NetInit());
    FamilyFactory placeholder = FindFamilyProvider(kFamilyIpv4);
    EXPECT_TRUE(StatusAccepted(RegisterFamilyProvider(kFamilyIpv4, FakeFactory)));
    EXPECT_TRUE(StatusAccepted(RegisterFamilyProvider(9, FakeFactory)));
    FrameworkShutdown();
    FrameworkStartup();
    EXPECT_EQ(FindFamilyProvider(9), nullptr);
    EXPECT_EQ(FindFamilyProvider(kFamilyIpv4), placeholder) << "NetInit ran again after the restart";
}

// Callers racing the first NetInit wait for its registrations instead of
// finding an empty registry.
TEST_F(FamilyRegistry, ConcurrentFirstCallersAllFindTheFamilies)
{
    constexpr int kThreads = 8;
    TestEvent go;
    std::vector<std::thread> threads;
    std::vector<int> found(kThreads);
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            go.Wait();
            found[i] = FindFamilyProvider(kFamilyPipe) != nullptr && FindFamilyProvider(kFamilyIpv4) != nullptr;
        });
    go.Set();
    for (auto& t : threads)
        t.join();
    for (int i = 0; i < kThreads; ++i)
        EXPECT_TRUE(found[i]) << "thread " << i;
}

// Outside start-up the registry could not arrange its tear-down: it is not
// opened then, so what a later run registers still goes with that run.
TEST(FamilyRegistryOutsideStartUp, IsNotOpenedAndLaterRunsStillStartFresh)
{
    EXPECT_FALSE(NetInit());
    EXPECT_EQ(FindFamilyProvider(kFamilyPipe), nullptr);
    EXPECT_EQ(RegisterFamilyProvider(9, FakeFactory), kStatusInvalidState);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        FrameworkStartup();
        EXPECT_NE(FindFamilyProvider(kFamilyPipe), nullptr);
        EXPECT_EQ(FindFamilyProvider(9), nullptr);
        EXPECT_EQ(RegisterFamilyProvider(9, FakeFactory), kStatusSuccess);
        FrameworkShutdown();
    }
}

}  // namespace
