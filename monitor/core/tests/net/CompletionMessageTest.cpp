#include "exec/ClosureOwner.h"
#include "net/CompletionMessage.h"
#include "runtime/BlockOwner.h"
#include "runtime/RefOwner.h"
#include "runtime/TrackedBlock.h"
#include "support/CoreTestFixture.h"
#include "support/MessageRecorder.h"
#include <functional>

namespace {

class CompletionMessages : public CoreTest {};

// A pipe record "\\.\pipe\p" (23 bytes) and a 14-byte IPv4 record.
struct Records {
    BlockOwner<AddressRecord> pipe{PipeAddressFromNameA("p", nullptr, 0)};
    uint8_t ipv4Bytes[14] = {14, 0, 0, 0, 0x02, 0x01, 0x06, 0x00, 1, 0, 0, 127, 0x51, 0xC3};
    const AddressRecord* ipv4 = reinterpret_cast<const AddressRecord*>(ipv4Bytes);
    std::string PipeBytes() const { return std::string(reinterpret_cast<char*>(pipe.get()), pipe->size); }
    std::string Ipv4Bytes() const { return std::string(reinterpret_cast<const char*>(ipv4Bytes), 14); }
};

// A reference-counted object that counts its destruction.
struct Probe {
    ControlBlock* cb;
};
int g_probesDestroyed;
void* NewProbe()
{
    void* object = nullptr;
    EXPECT_EQ(ObjCreateWithPayload(
                  &object, [](void* p, ControlBlock* cb) { static_cast<Probe*>(p)->cb = cb; },
                  [](void*) { ++g_probesDestroyed; }, sizeof(Probe)),
              kStatusSuccess);
    return object;
}

TEST_F(CompletionMessages, StatusLayouts)
{
    MessageRecorder rec;
    Records records;
    EXPECT_EQ(CompleteWithStatus(&rec.closure, 0xC0000001, "xyz", 3), kStatusSuccess);
    EXPECT_EQ(rec.Last(), std::string("\x01\x00\x00\xC0xyz", 7));
    EXPECT_TRUE(StatusAccepted(CompleteWithStatus(&rec.closure, kStatusSuccess, nullptr, 5)));
    EXPECT_EQ(rec.Last(), std::string(4, '\0'));

    EXPECT_TRUE(StatusAccepted(CompleteWithStatusCount(&rec.closure, kStatusSuccess, 1234)));
    ASSERT_EQ(rec.Last().size(), 8u);
    EXPECT_EQ(U32At(rec.Last(), 4), 1234u);
    EXPECT_TRUE(StatusAccepted(NotifyStatusCount(&rec.closure, kStatusCancelled, 0)));
    EXPECT_EQ(rec.Last(), std::string("\x20\x01\x00\xC0\0\0\0\0", 8));

    EXPECT_TRUE(StatusAccepted(NotifyStatusCountAddress(&rec.closure, kStatusSuccess, 99, records.ipv4)));
    ASSERT_EQ(rec.Last().size(), 8u + 14);
    EXPECT_EQ(U32At(rec.Last(), 0), 0u);
    EXPECT_EQ(U32At(rec.Last(), 4), 99u);
    EXPECT_EQ(rec.Last().substr(8), records.Ipv4Bytes());
}

TEST_F(CompletionMessages, ObjectLayouts)
{
    MessageRecorder rec;
    Records records;
    g_probesDestroyed = 0;
    void* probe = NewProbe();
    RefOwner<void> held = RefOwner<void>::Adopt(probe);
    const uint32_t probeWord = uint32_t(reinterpret_cast<uintptr_t>(probe));

    EXPECT_TRUE(StatusAccepted(NotifyStatusObjectAddress(&rec.closure, kStatusSuccess, probe, records.pipe.get())));
    ASSERT_EQ(rec.Last().size(), 8u + 23);
    EXPECT_EQ(U32At(rec.Last(), 0), 0u);
    EXPECT_EQ(U32At(rec.Last(), 4), probeWord);
    EXPECT_EQ(rec.Last().substr(8), records.PipeBytes());

    EXPECT_TRUE(StatusAccepted(NotifyStatusObjectAddress(&rec.closure, kStatusNotImplemented, nullptr, nullptr)));
    EXPECT_EQ(rec.Last(), std::string("\x02\x00\x00\xC0\0\0\0\0", 8)) << "no record: 8 bytes";

    EXPECT_TRUE(StatusAccepted(NotifyObjectAddress(&rec.closure, records.ipv4, probe)));
    ASSERT_EQ(rec.Last().size(), 4u + 14);
    EXPECT_EQ(U32At(rec.Last(), 0), probeWord) << "an accept carries no status";
    EXPECT_EQ(rec.Last().substr(4), records.Ipv4Bytes());

    EXPECT_TRUE(StatusAccepted(NotifyConnect(&rec.closure, kStatusSuccess, records.pipe.get(), records.ipv4, probe)));
    ASSERT_EQ(rec.Last().size(), 8u + 23 + 14);
    EXPECT_EQ(U32At(rec.Last(), 4), probeWord);
    EXPECT_EQ(rec.Last().substr(8, 23), records.PipeBytes());
    EXPECT_EQ(rec.Last().substr(31), records.Ipv4Bytes());

    // A failed connect still carries both records; the local one defaults to {8, remote type}.
    EXPECT_TRUE(StatusAccepted(NotifyConnect(&rec.closure, kStatusConnectionReset, records.pipe.get(), nullptr, nullptr)));
    ASSERT_EQ(rec.Last().size(), 8u + 23 + 8);
    EXPECT_EQ(U32At(rec.Last(), 0), kStatusConnectionReset);
    EXPECT_EQ(U32At(rec.Last(), 4), 0u);
    EXPECT_EQ(U32At(rec.Last(), 31), 8u);
    EXPECT_EQ(U32At(rec.Last(), 35), kAddressTypePipe);
    auto* decoded = reinterpret_cast<const StatusObjectRemoteLocalMessage*>(rec.Last().data());
    EXPECT_EQ(ConnectMessageLocal(decoded)->size, 8u);

    EXPECT_EQ(g_probesDestroyed, 0);
    held.reset();
    EXPECT_EQ(g_probesDestroyed, 1) << "the messages gave back their references";
}

TEST_F(CompletionMessages, ReceivedCopiesWhatFitsAndCountsIt)
{
    MessageRecorder rec;
    Records records;
    char space[4] = {};
    BufferHandle destination = {space, nullptr, 0, sizeof(space)};
    EXPECT_TRUE(StatusAccepted(NotifyReceived(&destination, &rec.closure, kStatusSuccess, "abcdef", 6, records.ipv4)));
    EXPECT_EQ(std::string(space, 4), "abcd");
    EXPECT_EQ(U32At(rec.Last(), 4), 4u);
    EXPECT_EQ(rec.Last().substr(8), records.Ipv4Bytes());
    EXPECT_TRUE(StatusAccepted(NotifyReceived(&destination, &rec.closure, kStatusSuccess, "xy", 2, records.ipv4)));
    EXPECT_EQ(std::string(space, 4), "xycd");
    EXPECT_EQ(U32At(rec.Last(), 4), 2u);
}

TEST_F(CompletionMessages, ObjectStaysAliveUntilTheReceiverReleasesTheMessage)
{
    MessageRecorder rec;
    rec.keepLast = true;
    g_probesDestroyed = 0;
    void* probe = NewProbe();
    RefOwner<void> held = RefOwner<void>::Adopt(probe);
    EXPECT_TRUE(StatusAccepted(NotifyObjectAddress(&rec.closure, nullptr, probe)));
    held.reset();  // the sender's own reference
    EXPECT_EQ(g_probesDestroyed, 0) << "the kept message still holds the object";
    auto* kept = static_cast<const ObjectRecordMessage*>(rec.kept->data);  // no record: only the object word
    EXPECT_EQ(kept->object.object, probe);
    EXPECT_EQ(ObjControlBlockOf(probe)->strong, 1);
    rec.DropKept();
    EXPECT_EQ(g_probesDestroyed, 1);
}

// Every builder, sending to the given closure.
std::vector<std::function<NtStatus(const Closure*)>> AllBuilders(void* object, const AddressRecord* r,
                                                                 BufferHandle* destination)
{
    return {
        [](const Closure* c) { return CompleteWithStatus(c, 0, "ab", 2); },
        [](const Closure* c) { return CompleteWithStatusCount(c, 0, 1); },
        [](const Closure* c) { return NotifyStatusCount(c, 0, 1); },
        [r](const Closure* c) { return NotifyStatusCountAddress(c, 0, 1, r); },
        [=](const Closure* c) { return NotifyStatusObjectAddress(c, 0, object, r); },
        [=](const Closure* c) { return NotifyObjectAddress(c, r, object); },
        [=](const Closure* c) { return NotifyConnect(c, 0, r, nullptr, object); },
        [=](const Closure* c) { return NotifyReceived(destination, c, 0, "ab", 2, r); },
    };
}

TEST_F(CompletionMessages, AbsentClosureReceivesNothingAndAllocatesNothing)
{
    Records records;
    g_probesDestroyed = 0;
    void* probe = NewProbe();
    RefOwner<void> held = RefOwner<void>::Adopt(probe);
    char space[2];
    BufferHandle destination = {space, nullptr, 0, 2};
    Closure empty = {};
    const uint32_t blocks = LiveBlockCount();
    for (auto& build : AllBuilders(probe, records.ipv4, &destination)) {
        EXPECT_EQ(build(nullptr), kStatusSuccess);
        EXPECT_EQ(build(&empty), kStatusSuccess);
        EXPECT_EQ(LiveBlockCount(), blocks);
    }
    EXPECT_EQ(ObjControlBlockOf(probe)->strong, 1);
}

TEST_F(CompletionMessages, UnallocatableMessageIsNotDeliveredAndLeaksNoReference)
{
    MessageRecorder rec;
    Records records;
    void* probe = NewProbe();
    RefOwner<void> held = RefOwner<void>::Adopt(probe);
    char space[2];
    BufferHandle destination = {space, nullptr, 0, 2};
    for (auto& build : AllBuilders(probe, records.ipv4, &destination)) {
        BlockAllocFailAfter(0);
        EXPECT_EQ(build(&rec.closure), kStatusNoMemory);
        BlockAllocFailAfter(-1);
    }
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_EQ(ObjControlBlockOf(probe)->strong, 1);
}

// An executor that records the message and reports it queued.
struct QueueingExecutor {
    ExecutorRecord record = {nullptr, Post};
    std::string seen;
    static NtStatus Post(void* self, ClosureRoutine, BufferHandle*, BufferHandle* message)
    {
        static_cast<QueueingExecutor*>(self)->seen.assign(static_cast<char*>(message->data), message->size);
        return kStatusPending;
    }
};

TEST_F(CompletionMessages, BuilderReturnsTheInvokeResultAndKeepsTheClosure)
{
    QueueingExecutor executor;
    ClosureOwner closure;
    BufferHandle none = {};
    ClosureInit(closure.put(), MessageRecorder::Record, &executor.record, &none);
    EXPECT_EQ(CompleteWithStatusCount(closure.get(), kStatusSuccess, 7), kStatusPending);
    EXPECT_EQ(U32At(executor.seen, 4), 7u);
    EXPECT_EQ(closure->target, &executor.record) << "the caller's closure is left as it was";
}

}  // namespace
