#include "support/CoreTestFixture.h"
#include "support/StageTestSupport.h"
#include "exec/ClosureOwner.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

// Writes a chunk and drops the writer's own reference, as a reader does.
void WriteChunk(StreamStage* s, const std::string& bytes, Releases* releases = nullptr)
{
    HandleOwner h = HandleOwner::Adopt(Chunk(bytes, releases));
    EXPECT_TRUE(StatusAccepted(StageWrite(s, h.get())));
}

uint32_t QueuedBytes(StreamStage* s)
{
    uint32_t bytes = 0;
    for (ListNode* n = s->queue.first; n != ListSentinel(&s->queue); n = n->next)
        bytes += reinterpret_cast<BufferHandle*>(n + 1)->size;
    return bytes;
}

// For the few waits that have no event of their own to wait on.
template <class Condition>
bool WaitUntil(Condition done)
{
    for (DWORD start = GetTickCount(); !done(); SwitchToThread())
        if (GetTickCount() - start > 30000)
            return false;
    return true;
}

using StageRef = RefOwner<StreamStage>;

class Stages : public CoreTest {
protected:
    static StageRef Make(Sink& sink)
    {
        StreamStage* s = nullptr;
        Closure consumer = ConsumerFor(sink);
        EXPECT_EQ(StageCreate(&s, &consumer), kStatusSuccess);
        return StageRef::Adopt(s);
    }
};

TEST_F(Stages, PartlyTakenBytesWaitAndLaterWritesQueueBehindThem)
{
    Sink sink;
    Releases released;
    StageRef stage = Make(sink);
    StreamStage* s = stage.get();
    EXPECT_EQ(s->flags, kStageLastFlowNonEmpty);

    sink.script = {3};
    WriteChunk(s, "0123456789");
    EXPECT_EQ(sink.taken, "012");
    EXPECT_EQ(s->queue.count, 1u);
    EXPECT_EQ(QueuedBytes(s), 7u);
    WriteChunk(s, "abcde");
    EXPECT_EQ(sink.offered, (std::vector<uint32_t>{10})) << "written behind queued bytes: not offered";
    EXPECT_EQ(s->queue.count, 2u);

    EXPECT_EQ(StageResume(s), kStatusSuccess);
    EXPECT_EQ(sink.taken, "0123456789abcde");
    EXPECT_EQ(sink.offered, (std::vector<uint32_t>{10, 7, 5}));
    EXPECT_EQ(s->queue.count, 0u);

    // Nothing to write changes nothing.
    EXPECT_EQ(StageWrite(s, HandleOwner::Adopt(Chunk("")).get()), kStatusSuccess);
    EXPECT_EQ(StageWrite(s, nullptr), kStatusSuccess);
    EXPECT_EQ(sink.offered.size(), 3u);
    EXPECT_EQ(s->queue.count, 0u);

    // A consumer that claims more than it was offered took the whole buffer, no more.
    sink.script = {0xFFFFFFFF, 9};
    WriteChunk(s, "wxyz", &released);
    EXPECT_EQ(released.count, 1);
    EXPECT_EQ(s->queue.count, 0u);
    WriteChunk(s, "123");
    EXPECT_EQ(s->queue.count, 0u);
    EXPECT_EQ(sink.taken, "0123456789abcdewxyz123");
}

TEST_F(Stages, EverySplitOfAChunkArrivesOnceInOrderAndFreesItAfterTheLastByte)
{
    const std::string bytes = "ABCDEFG";
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    for (uint32_t i = 0; i <= n; ++i) {
        for (uint32_t j = i; j <= n; ++j) {
            SCOPED_TRACE("taken " + std::to_string(i) + ", then up to " + std::to_string(j));
            Sink sink;
            Releases released;
            StageRef stage = Make(sink);
            StreamStage* s = stage.get();
            sink.script = {i, j - i};
            WriteChunk(s, bytes, &released);
            EXPECT_EQ(sink.taken, bytes.substr(0, i));
            EXPECT_EQ(released.count, i == n ? 1 : 0);
            EXPECT_TRUE(StatusAccepted(StageResume(s)));
            EXPECT_EQ(sink.taken, bytes.substr(0, std::max(i, j)));
            EXPECT_EQ(released.count, j == n ? 1 : 0);
            EXPECT_TRUE(StatusAccepted(StageResume(s)));
            EXPECT_EQ(sink.taken, bytes);
            EXPECT_EQ(released.count, 1);
            EXPECT_EQ(s->queue.count, 0u);
        }
    }
}

// Reads the next chunk only when the previous one has been released, as the
// reconnecting client does.
struct Reader {
    StreamStage* stage;
    Sink* sink;
    std::vector<std::string> chunks;
    size_t read = 0;
    std::vector<size_t> takenAtEachRelease;
};

void ReadNext(BufferHandle* bound, BufferHandle*);

void ReadOne(Reader* r)
{
    HandleOwner h = HandleOwner::Adopt(Chunk(r->chunks[r->read++], ReadNext, r));
    EXPECT_TRUE(StatusAccepted(StageWrite(r->stage, h.get())));
}

void ReadNext(BufferHandle* bound, BufferHandle*)
{
    auto* r = static_cast<Reader*>(bound->data);
    r->takenAtEachRelease.push_back(r->sink->taken.size());
    if (r->read < r->chunks.size())
        ReadOne(r);
}

TEST_F(Stages, UpstreamReadsAgainOnlyAfterItsChunkWasConsumed)
{
    Sink sink;
    // The reader outlives the stage: a chunk still queued calls it back as it goes.
    Reader reader{nullptr, &sink, {"abcde", "fg", "hijklmn", "o"}, 0, {}};
    StageRef stage = Make(sink);
    StreamStage* s = reader.stage = stage.get();
    // The consumer takes 2 bytes per offer, then waits to be resumed.
    for (int k = 0; k < 20; ++k)
        sink.script.push_back(2);
    ReadOne(&reader);
    for (int resumes = 0; resumes < 20 && reader.takenAtEachRelease.size() < reader.chunks.size(); ++resumes) {
        size_t takenBefore = sink.taken.size();
        EXPECT_TRUE(StatusAccepted(StageResume(s)));
        EXPECT_GT(sink.taken.size(), takenBefore) << "each resume moves bytes on";
        EXPECT_LE(reader.read, reader.takenAtEachRelease.size() + 1) << "one chunk outstanding at most";
    }
    EXPECT_EQ(sink.taken, "abcdefghijklmno");
    // Each release came exactly when the chunk's last byte was taken, never earlier.
    EXPECT_EQ(reader.takenAtEachRelease, (std::vector<size_t>{5, 7, 14, 15}));
}

TEST_F(Stages, DropEmptiesEveryQueueDownTheChainAndWakesTheFlushWaiter)
{
    Sink a, b, c;
    Releases released;
    StageRef head = Make(a);  // the chain goes with its head
    StreamStage* first = head.get();
    Closure cb = ConsumerFor(b), cc = ConsumerFor(c);
    StreamStage* second = StageCreateNext(first, &cb);
    ASSERT_NE(second, nullptr);
    StreamStage* third = StageCreateNext(second, &cc);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(second->next, third);

    // Forwarding goes to the next stage; a stage without one refuses it.
    HandleOwner h = HandleOwner::Adopt(Chunk("fwd"));
    EXPECT_EQ(StageForward(first, h.get()), kStatusSuccess);
    EXPECT_EQ(StageForward(third, h.get()), kStatusInvalidState);
    EXPECT_EQ(b.taken, "fwd");

    a.script = b.script = c.script = {0, 0, 0};
    WriteChunk(first, "one", &released);
    WriteChunk(second, "two", &released);
    WriteChunk(third, "three", &released);
    WriteChunk(third, "four", &released);
    EXPECT_EQ(QueuedBytes(third), 9u);

    int flushed = -1;
    std::thread waiter([&] { flushed = StageFlushWait(third, 30000); });
    ASSERT_TRUE(WaitUntil([&] { return third->flushWaiter.cb != nullptr; }));
    EXPECT_EQ(StageDrop(first), kStatusSuccess);
    waiter.join();
    EXPECT_EQ(flushed, 1);
    EXPECT_EQ(released.count, 4);
    EXPECT_EQ(first->queue.count + second->queue.count + third->queue.count, 0u);
    EXPECT_EQ(a.taken + b.taken + c.taken, "fwd") << "dropped bytes are never offered";

    EXPECT_EQ(StageClearNext(second), kStatusSuccess);
    EXPECT_EQ(second->next, nullptr);
}

TEST_F(Stages, FlushWaitReportsWhetherTheQueueEmptiedInTime)
{
    Sink sink;
    StageRef stage = Make(sink);
    StreamStage* s = stage.get();
    EXPECT_EQ(StageFlushWait(s, 30000), 1) << "an empty queue is flushed at once";

    sink.script = {0, 0};
    WriteChunk(s, "stuck");
    EXPECT_EQ(StageFlushWait(s, 50), 0);
    EXPECT_EQ(s->flushWaiter.cb, nullptr) << "a waiter that gave up is unregistered";

    int flushed = -1;
    std::thread waiter([&] { flushed = StageFlushWait(s, 30000); });
    ASSERT_TRUE(WaitUntil([&] { return s->flushWaiter.cb != nullptr; }));
    EXPECT_TRUE(StatusAccepted(StageResume(s)));
    EXPECT_EQ(sink.taken, "");
    EXPECT_NE(s->flushWaiter.cb, nullptr) << "not drained: still waiting";
    EXPECT_TRUE(StatusAccepted(StageResume(s)));
    waiter.join();
    EXPECT_EQ(flushed, 1);
    EXPECT_EQ(sink.taken, "stuck");
}

TEST_F(Stages, SyncWritesReturnOnlyOnceTheCallersBytesAreConsumed)
{
    Sink sink, after;
    StageRef stage = Make(sink);
    StreamStage* s = stage.get();
    Closure next = ConsumerFor(after);
    ASSERT_NE(StageCreateNext(s, &next), nullptr);
    sink.script = {4, 0};
    const char bytes[] = "synchronous";
    TestEvent returned;
    NtStatus status = 1;
    std::thread writer([&] {
        status = StageWriteSync(s, bytes, 11);
        returned.Set();
    });
    ASSERT_TRUE(sink.wasOffered.Wait());
    ASSERT_TRUE(WaitUntil([&] { return s->queue.count == 1; }));
    auto* queued = reinterpret_cast<BufferHandle*>(s->queue.first + 1);
    EXPECT_EQ(queued->data, bytes + 4) << "the caller's bytes are queued, not a copy";
    EXPECT_TRUE(StatusAccepted(StageResume(s)));
    EXPECT_FALSE(returned.Wait(50)) << "7 bytes are still queued";
    EXPECT_TRUE(StatusAccepted(StageResume(s)));
    EXPECT_TRUE(returned.Wait());
    writer.join();
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(sink.taken, "synchronous");

    std::thread forwarder([&] { status = StageForwardSync(s, "on", 2); });
    forwarder.join();
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(after.taken, "on");
    EXPECT_EQ(sink.taken, "synchronous") << "forwarding skips the stage's own consumer";
}

// An owner whose strand runs its stage's consumer, as the message stream's
// receive stage and the client's stage part are set up.
struct Owner {
    ControlBlock* cb;
    Strand strand;
    StreamStage stage;
    bool stageBuilt;
    Sink* sink;
    DWORD consumerThread;
};

void OwnerTakes(BufferHandle* bound, BufferHandle* message)
{
    auto* o = static_cast<Owner*>(bound->data);
    o->consumerThread = GetCurrentThreadId();
    Take(o->sink, static_cast<StageOffer*>(message->data));
}

void ConstructOwner(void* payload, ControlBlock* cb)
{
    auto* o = static_cast<Owner*>(payload);
    o->cb = cb;
    StrandInit(&o->strand, cb);
    o->stageBuilt = ObjAttachPayload(&o->stage, StageInit, StageDestroy, cb) == kStatusSuccess;
    ClosureOwner consumer;
    ClosureInitForObject(consumer.put(), OwnerTakes, &o->strand.exec, o, 0, 1);
    StageSetConsumer(&o->stage, consumer.get());
}

void DestroyOwner(void* payload)
{
    auto* o = static_cast<Owner*>(payload);
    if (o->stageBuilt)
        ObjRelease(o->stage.cb);  // the embedded stage's own control block, torn down here
    StrandDestroy(&o->strand);
}

void RecordFlow(BufferHandle* bound, BufferHandle* message)
{
    static_cast<std::vector<uint32_t>*>(bound->data)->push_back(message ? message->size : 99);
}

TEST_F(Stages, WorkRunsOnTheConsumersExecutorWhichTheStageDoesNotKeepAlive)
{
    void* object;
    ASSERT_EQ(ObjCreateWithPayload(&object, ConstructOwner, DestroyOwner, sizeof(Owner)), kStatusSuccess);
    auto* owner = static_cast<Owner*>(object);
    RefOwner<Owner> ownerRef = RefOwner<Owner>::Adopt(owner);
    ASSERT_TRUE(owner->stageBuilt);
    Sink sink;
    owner->sink = &sink;
    StreamStage* stage = &owner->stage;

    // Written while the owner's strand is busy elsewhere: runs there, later.
    StrandAcquire(&owner->strand);
    WriteChunk(stage, "later");
    EXPECT_EQ(sink.taken, "");
    DWORD drainer = 0;
    std::thread([&] {
        drainer = GetCurrentThreadId();
        StrandDrain(&owner->strand);
    }).join();
    EXPECT_EQ(sink.taken, "later");
    EXPECT_EQ(owner->consumerThread, drainer);

    // Flow messages set bit 0 by their size and reach the flow input.
    std::vector<uint32_t> flows;
    Closure input = {RecordFlow, nullptr, {&flows, nullptr, 0, 0}};
    StageSetFlowInput(stage, &input);
    BufferHandle none = {}, some = {nullptr, nullptr, 0, 1};
    StageOnFlow(stage, &none);
    EXPECT_EQ(stage->flags & kStageLastFlowNonEmpty, 0u);
    StageOnFlow(stage, &some);
    EXPECT_EQ(stage->flags & kStageLastFlowNonEmpty, kStageLastFlowNonEmpty);
    EXPECT_EQ(flows, (std::vector<uint32_t>{0, 1}));

    // The stage outlives its owner only as memory the owner's executor no longer serves.
    StageRef kept = StageRef::AddRef(stage);
    ownerRef.reset();
    EXPECT_EQ(StageWrite(stage, HandleOwner::Adopt(Chunk("gone")).get()), kStatusInvalidState);
    EXPECT_EQ(sink.taken, "later");
}

}  // namespace
