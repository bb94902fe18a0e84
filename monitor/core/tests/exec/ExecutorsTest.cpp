#include "exec/CallQueue.h"
#include "exec/ClosureList.h"
#include "exec/IoCommandQueue.h"
#include "exec/ReleaseNotifier.h"
#include "exec/Strand.h"
#include "exec/ClosureOwner.h"
#include "exec/StrandPair.h"
#include "runtime/BlockOwner.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include "exec/OwnedObject.h"
#include "support/CoreTestFixture.h"
#include "support/TestThreads.h"
#include <string>
#include <thread>
#include <vector>

namespace {

// The objects a test makes are held by the fixture until the test drops them
// or ends, also when it ends early.
class Executors : public CoreTest {
protected:
    void TearDown() override
    {
        owned_.clear();
        CoreTest::TearDown();
    }
    template <class T>
    T* Make(const TypeDescriptor& type)
    {
        owned_.push_back(MakeOwned(type));
        return static_cast<T*>(owned_.back().get());
    }
    // Lets go of the test's reference now.
    void Drop(void* object) { OwnerOf(object).reset(); }
    // The test's reference passes to whoever drops it.
    void HandOver(void* object) { OwnerOf(object).release(); }

private:
    RefOwner<void>& OwnerOf(void* object)
    {
        for (RefOwner<void>& owner : owned_)
            if (owner.get() == object)
                return owner;
        ADD_FAILURE() << "not made by the test";
        static RefOwner<void> none;
        return none;
    }

    std::vector<RefOwner<void>> owned_;
};

// A handle without control block carries a plain word; copies take no reference.
BufferHandle Word(uint32_t value, void* data = nullptr) { return {data, nullptr, 0, value}; }

struct Log {
    std::string text;
    std::vector<DWORD> threads;
};

// bound data: the Log; message size: a letter to append.
void Record(BufferHandle* bound, BufferHandle* message)
{
    auto* log = static_cast<Log*>(bound->data);
    log->text += message ? static_cast<char>(message->size) : '-';
    log->threads.push_back(GetCurrentThreadId());
}

TEST_F(Executors, ClosuresRunAtOnceOrThroughTheirTargetAndHoldTheirReferences)
{
    Log log;
    BufferHandle bound = Word(0, &log), a = Word('a');
    EXPECT_EQ(ClosureInvoke(nullptr, nullptr, &bound, &a), 0u) << "an empty closure does nothing";
    EXPECT_EQ(ClosureInvoke(Record, nullptr, &bound, &a), 0u);
    EXPECT_EQ(ClosureInvoke(Record, nullptr, &bound, nullptr), 0u);
    EXPECT_EQ(log.text, "a-");

    auto* strand = Make<Strand>(kStrandType);
    HandleOwner buffer;
    ASSERT_EQ(BufAlloc(buffer.put(), nullptr, nullptr, 4), kStatusSuccess);
    Closure c;
    ClosureInit(&c, Record, &strand->exec, buffer.get());
    EXPECT_EQ(strand->exec.cb->strong, 2);
    EXPECT_EQ(buffer->cb->strong, 2);
    Closure copy, empty;
    ClosureCopy(&copy, &c);
    ClosureCopy(&empty, nullptr);
    EXPECT_EQ(empty.routine, nullptr);
    EXPECT_EQ(ClosureCall(&empty, nullptr), 0u);
    EXPECT_EQ(strand->exec.cb->strong, 3);
    ClosureRelease(&copy);
    ClosureReset(&c);  // releases, and leaves an empty closure that a second reset leaves alone
    EXPECT_EQ(c.routine, nullptr);
    EXPECT_EQ(c.target, nullptr);
    EXPECT_EQ(c.bound.cb, nullptr);
    ClosureReset(&c);
    EXPECT_EQ(strand->exec.cb->strong, 1);
    EXPECT_EQ(buffer->cb->strong, 1);

    // Bound to an object, weakly: the object may go while the closure lives.
    void* object = strand;
    ClosureOwner weak;
    ClosureInitForObject(weak.get(), Record, nullptr, object, 7, 1);
    EXPECT_EQ(weak->bound.size, 7u);
    EXPECT_EQ(weak->bound.weak, 1u);
    EXPECT_EQ(strand->exec.cb->weak, 2);
    Drop(strand);
}

TEST_F(Executors, CallQueueAndClosureListKeepOrder)
{
    Log log;
    BufferHandle bound = Word(0, &log);
    ListHead queue;
    CallQueueInit(&queue);
    for (char ch : std::string("xyz")) {
        BufferHandle m = Word(ch);
        ASSERT_EQ(CallQueuePush(&queue, Record, &bound, &m), kStatusSuccess);
    }
    ASSERT_EQ(CallQueuePush(&queue, Record, &bound, nullptr), kStatusSuccess);
    EXPECT_EQ(queue.count, 4u);
    ClosureRoutine routine;
    BufferHandle b, m;
    ASSERT_EQ(CallQueuePop(&queue, &routine, &b, &m), kStatusSuccess);
    EXPECT_EQ(m.size, static_cast<uint32_t>('x'));
    EXPECT_EQ(CallQueueRunAll(&queue), 3u);
    EXPECT_EQ(log.text, std::string("yz") + char(0)) << "a null message is queued as an empty handle";
    EXPECT_EQ(CallQueuePop(&queue, &routine, &b, &m), 0xC0000184u);

    // Clearing releases what the entries hold without running them.
    {
        HandleOwner buffer;
        ASSERT_EQ(BufAlloc(buffer.put(), nullptr, nullptr, 4), kStatusSuccess);
        ASSERT_EQ(CallQueuePush(&queue, Record, &bound, buffer.get()), kStatusSuccess);
    }
    CallQueueClear(&queue);
    EXPECT_EQ(queue.count, 0u);

    ListHead list;
    ListInit(&list);
    {
        ClosureOwner c;
        ClosureInit(c.get(), Record, nullptr, &bound);
        ASSERT_EQ(ClosureListAppend(&list, c.get()), kStatusSuccess);
        ASSERT_EQ(ClosureListAppend(&list, c.get()), kStatusSuccess);
    }
    log.text.clear();
    BufferHandle q = Word('q');
    ClosureListInvokeAll(&list, &q);
    EXPECT_EQ(log.text, "qq");
    ClosureListRelease(&list);
    EXPECT_TRUE(ListIsEmpty(&list));
}

TEST_F(Executors, StrandRunsAtOnceWhenIdleAndQueuesWhenBusy)
{
    auto* s = Make<Strand>(kStrandType);
    Log log;
    BufferHandle bound = Word(0, &log), a = Word('a'), b = Word('b'), c = Word('c');
    EXPECT_EQ(StrandRun(s, Record, &bound, &a), 0u);
    EXPECT_EQ(log.text, "a");

    ASSERT_EQ(StrandTryAcquire(s), 1);
    EXPECT_EQ(StrandTryAcquire(s), 0);
    EXPECT_EQ(StrandRun(s, Record, &bound, &b), kStatusPending);
    EXPECT_EQ(StrandRun(s, Record, &bound, &c), kStatusPending);
    EXPECT_EQ(log.text, "a");
    EXPECT_EQ(StrandDrain(s), 1);
    EXPECT_EQ(log.text, "abc");
    EXPECT_EQ(s->busy, 0);
}

struct Reentrant {
    Strand* strand;
    Log log;
    NtStatus innerResult;
};

void PostsAgain(BufferHandle* bound, BufferHandle* message)
{
    auto* r = static_cast<Reentrant*>(bound->data);
    r->log.text += "outer ";
    BufferHandle logBound = Word(0, &r->log), m = Word('i');
    r->innerResult = StrandRun(r->strand, Record, &logBound, &m);
    r->log.text += "done ";
}

TEST_F(Executors, CallPostedFromInsideARoutineRunsRightAfterIt)
{
    Reentrant r;
    r.strand = Make<Strand>(kStrandType);
    BufferHandle bound = Word(0, &r);
    EXPECT_EQ(StrandRun(r.strand, PostsAgain, &bound, nullptr), 0u);
    EXPECT_EQ(r.innerResult, kStatusPending);
    EXPECT_EQ(r.log.text, "outer done i");
}

struct Exclusion {
    volatile LONG inside;
    volatile LONG overlaps;
    uint32_t lastSeq[8];
    volatile LONG outOfOrder;
    volatile LONG ran;
};

void CheckExclusive(BufferHandle* bound, BufferHandle* message)
{
    auto* e = static_cast<Exclusion*>(bound->data);
    if (InterlockedIncrement(&e->inside) != 1)
        InterlockedIncrement(&e->overlaps);
    uint32_t producer = message->size >> 16, seq = message->size & 0xFFFF;
    if (seq != e->lastSeq[producer] + 1)
        InterlockedIncrement(&e->outOfOrder);
    e->lastSeq[producer] = seq;
    ++e->ran;
    InterlockedDecrement(&e->inside);
}

TEST_F(Executors, StrandExcludesAndKeepsEachProducersOrderAcrossThreads)
{
    constexpr uint32_t kProducers = 4, kCalls = 5000;
    auto* s = Make<Strand>(kStrandType);
    Exclusion e = {};
    TestEvent go;
    std::vector<std::thread> producers;
    for (uint32_t p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            go.Wait();
            BufferHandle bound = Word(0, &e);
            for (uint32_t seq = 1; seq <= kCalls; ++seq) {
                BufferHandle m = Word(p << 16 | seq);
                NtStatus status = StrandRun(s, CheckExclusive, &bound, &m);
                if (!StatusAccepted(status))
                    ADD_FAILURE() << std::hex << status;
            }
        });
    }
    go.Set();
    // Every drain runs inside some producer's StrandRun, so all calls have run
    // once every producer has returned.
    for (auto& t : producers)
        t.join();
    EXPECT_EQ(e.overlaps, 0);
    EXPECT_EQ(e.outOfOrder, 0);
    EXPECT_EQ(e.ran, static_cast<LONG>(kProducers * kCalls));
    EXPECT_EQ(s->busy, 0);
}

TEST_F(Executors, HopWhileBIsBusyKeepsAHeldAndDrainsItOnBsThread)
{
    auto* a = Make<Strand>(kStrandType);
    auto* b = Make<Strand>(kStrandType);
    Log log;
    BufferHandle bound = Word(0, &log), h = Word('h'), q = Word('q');
    TestEvent bTaken, hopPosted;
    DWORD bThread = 0;
    std::thread owner([&] {
        bThread = GetCurrentThreadId();
        StrandAcquire(b);
        bTaken.Set();
        hopPosted.Wait();
        StrandDrain(b);  // runs the hop's second step here, and then A's queue
    });
    ASSERT_TRUE(bTaken.Wait());
    EXPECT_EQ(StrandHop(a, &b->exec, Record, &bound, &h), kStatusPending);
    EXPECT_EQ(log.text, "");
    EXPECT_EQ(a->busy, 1) << "A stays held until the routine has run on B";
    EXPECT_EQ(StrandRun(a, Record, &bound, &q), kStatusPending);
    hopPosted.Set();
    owner.join();
    EXPECT_EQ(log.text, "hq");
    ASSERT_EQ(log.threads.size(), 2u);
    EXPECT_EQ(log.threads[0], bThread);
    EXPECT_EQ(log.threads[1], bThread);
    EXPECT_EQ(a->busy, 0);
    EXPECT_EQ(b->busy, 0);

    // Both idle: the hop runs inside the call; B = A or none is a plain run.
    log.text.clear();
    EXPECT_EQ(StrandHop(a, &b->exec, Record, &bound, &h), 0u);
    EXPECT_EQ(StrandHop(a, &a->exec, Record, &bound, &q), 0u);
    EXPECT_EQ(StrandHop(a, nullptr, Record, &bound, &q), 0u);
    EXPECT_EQ(log.text, "hqq");
}

TEST_F(Executors, FailedHopReleasesAAndReportsTheFailure)
{
    auto* a = Make<Strand>(kStrandType);
    auto* q = Make<IoCommandQueue>(kIoCommandQueueType);
    q->forceQueue = 1;
    Log log;
    BufferHandle bound = Word(0, &log), h = Word('h');
    // Fresh core: the hop record is had, the pending-call chunk for B's queue is not.
    BlockAllocFailAfter(1);
    EXPECT_EQ(StrandHop(a, &q->exec, Record, &bound, &h), kStatusNoMemory);
    BlockAllocFailAfter(-1);
    EXPECT_EQ(a->busy, 0) << "A stayed held after B refused the hop";
    EXPECT_EQ(log.text, "");
    EXPECT_EQ(StrandRun(a, Record, &bound, &h), 0u);
    EXPECT_EQ(log.text, "h");
    EXPECT_EQ(q->queue.count, 0u);
}

// An executor that takes no call, as a thread binding does once its dispatcher has stopped.
NtStatus RefuseEveryCall(void*, ClosureRoutine, BufferHandle*, BufferHandle*) { return kStatusInvalidState; }

TEST_F(Executors, QueuedHopThatBRefusesIsCountedAndReleasesA)
{
    auto* a = Make<Strand>(kStrandType);
    ExecutorRecord refusing = {nullptr, RefuseEveryCall};
    Log log;
    BufferHandle bound = Word(0, &log), h = Word('h');
    EXPECT_EQ(StrandHop(a, &refusing, Record, &bound, &h), kStatusInvalidState) << "run at once: the poster hears";

    const uint32_t refusedBefore = StrandRefusedHopCount();
    StrandAcquire(a);
    EXPECT_EQ(StrandHop(a, &refusing, Record, &bound, &h), kStatusPending);
    EXPECT_EQ(StrandRefusedHopCount(), refusedBefore);
    EXPECT_EQ(StrandDrain(a), 1) << "A stayed held after B refused the queued hop";
    EXPECT_EQ(StrandRefusedHopCount(), refusedBefore + 1) << "the refusal of a queued hop went unreported";
    EXPECT_EQ(log.text, "");
    EXPECT_EQ(StrandRun(a, Record, &bound, &h), 0u);
    EXPECT_EQ(log.text, "h");
}

TEST_F(Executors, IoCommandQueueRunsInlineOnItsOwnerAndQueuesFromOthers)
{
    auto* q = Make<IoCommandQueue>(kIoCommandQueueType);
    Log log;
    BufferHandle bound = Word(0, &log), m = Word('m'), f = Word('f'), o = Word('o');

    EXPECT_EQ(q->owner, kNoOwnerThread);
    BlockAllocFailAfter(0);
    EXPECT_EQ(IoCommandQueuePost(q, Record, &bound, &m), kStatusNoMemory) << "a lost command must be reported";
    BlockAllocFailAfter(-1);
    EXPECT_EQ(WaitForSingleObject(q->event, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    TestEvent started, posted, finished;
    DWORD ioThread = 0;
    NtStatus ownPost = 0, forcedPost = 0;
    std::thread io([&] {
        ioThread = GetCurrentThreadId();
        q->owner = ioThread;
        started.Set();
        if (WaitForSingleObject(q->event, 30000) != WAIT_OBJECT_0)
            return;
        posted.Wait();
        IoCommandQueueDrain(q);
        ownPost = IoCommandQueuePost(q, Record, &bound, &o);
        q->forceQueue = 1;
        forcedPost = IoCommandQueuePost(q, Record, &bound, &f);
        finished.Set();
    });
    ASSERT_TRUE(started.Wait());
    EXPECT_EQ(IoCommandQueuePost(q, Record, &bound, &m), kStatusPending);
    EXPECT_EQ(IoCommandQueuePost(q, Record, &bound, &m), kStatusPending);
    posted.Set();
    ASSERT_TRUE(finished.Wait());
    io.join();
    EXPECT_EQ(ownPost, 0u);
    EXPECT_EQ(forcedPost, kStatusPending);
    EXPECT_EQ(log.text, "mmo");
    for (DWORD t : log.threads)
        EXPECT_EQ(t, ioThread);
    EXPECT_EQ(WaitForSingleObject(q->event, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(IoCommandQueueDrain(q), 1u);
    EXPECT_EQ(log.text, "mmof");
    EXPECT_EQ(WaitForSingleObject(q->event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

struct QueueAndLog {
    IoCommandQueue* q;
    Log log;
};

// bound data: a QueueAndLog; logs its letter, then posts 'o' to the queue.
void RecordThenPost(BufferHandle* bound, BufferHandle* message)
{
    auto* ql = static_cast<QueueAndLog*>(bound->data);
    BufferHandle logBound = Word(0, &ql->log), o = Word('o');
    Record(&logBound, message);
    EXPECT_TRUE(StatusAccepted(IoCommandQueuePost(ql->q, Record, &logBound, &o)));
}

// Calls already queued are not overtaken by a post from the owner thread: not
// by one made between two drains, nor by one made from a call of the drain.
TEST_F(Executors, IoCommandQueueKeepsPostingOrderAcrossThreads)
{
    QueueAndLog ql = {Make<IoCommandQueue>(kIoCommandQueueType), {}};
    IoCommandQueue* q = ql.q;
    BufferHandle bound = Word(0, &ql), logBound = Word(0, &ql.log), a = Word('a'), b = Word('b'),
                 c = Word('c');
    EXPECT_EQ(IoCommandQueuePost(q, Record, &logBound, &a), kStatusPending) << "no owner yet: queued";
    q->owner = GetCurrentThreadId();
    EXPECT_EQ(IoCommandQueuePost(q, Record, &logBound, &b), kStatusPending);
    EXPECT_EQ(IoCommandQueueDrain(q), 2u);
    EXPECT_EQ(ql.log.text, "ab");

    q->owner = kNoOwnerThread;
    EXPECT_EQ(IoCommandQueuePost(q, RecordThenPost, &bound, &a), kStatusPending);
    EXPECT_EQ(IoCommandQueuePost(q, Record, &logBound, &c), kStatusPending);
    q->owner = GetCurrentThreadId();
    while (IoCommandQueueDrain(q) != 0) {
    }
    EXPECT_EQ(ql.log.text, "abaco");
    EXPECT_EQ(q->queue.count, 0u);
    EXPECT_EQ(WaitForSingleObject(q->event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

struct OwnsStrand {
    ControlBlock* cb;
    Strand strand;
    Log log;
};

void ConstructOwner(void* payload, ControlBlock* cb)
{
    auto* o = static_cast<OwnsStrand*>(payload);
    o->cb = cb;
    StrandInit(&o->strand, cb);
    new (&o->log) Log;
}

void DestroyOwner(void* payload)
{
    auto* o = static_cast<OwnsStrand*>(payload);
    StrandDestroy(&o->strand);
    o->log.~Log();
}

void RecordOnOwner(BufferHandle* bound, BufferHandle* message)
{
    auto* o = static_cast<OwnsStrand*>(bound->data);
    BufferHandle logBound = Word(0, &o->log);
    Record(&logBound, message);
}

TEST_F(Executors, PairAndPostHopThroughTheEmbeddedStrand)
{
    const TypeDescriptor ownerType = {sizeof(OwnsStrand), ConstructOwner, DestroyOwner};
    auto* owner = Make<OwnsStrand>(ownerType);
    EXPECT_EQ(StrandOf(owner), &owner->strand);
    auto* b = Make<Strand>(kStrandType);
    BufferHandle p = Word('p');
    ASSERT_TRUE(StrandTryAcquire(b));
    EXPECT_EQ(StrandPost(owner, &b->exec, RecordOnOwner, &p), kStatusPending);
    EXPECT_EQ(owner->strand.busy, 1);
    EXPECT_EQ(StrandDrain(b), 1);
    EXPECT_EQ(owner->log.text, "p");
    EXPECT_EQ(owner->strand.busy, 0);

    void* object = nullptr;
    auto constructPair = [](void* payload, ControlBlock* cb) { StrandPairInit(static_cast<StrandPair*>(payload), cb); };
    auto destroyPair = [](void* payload) { StrandPairDestroy(static_cast<StrandPair*>(payload)); };
    ASSERT_EQ(ObjCreateWithPayload(&object, constructPair, destroyPair, sizeof(StrandPair)), kStatusSuccess);
    auto pairOwner = RefOwner<StrandPair>::Adopt(static_cast<StrandPair*>(object));
    StrandPair* pair = pairOwner.get();
    StrandPairSet(pair, &owner->strand, &b->exec);
    StrandPairSet(pair, &owner->strand, &b->exec);
    EXPECT_EQ(b->exec.cb->strong, 2) << "setting the same executors again changes nothing";
    BufferHandle bound = {owner, owner->cb, 0, 0}, x = Word('x');
    ASSERT_TRUE(StrandTryAcquire(b));
    EXPECT_EQ(StrandPairPost(pair, RecordOnOwner, &bound, &x), kStatusPending);
    EXPECT_EQ(StrandDrain(b), 1);
    EXPECT_EQ(owner->log.text, "px");
    StrandPairSet(pair, nullptr, &b->exec);
    EXPECT_EQ(StrandPairPost(pair, RecordOnOwner, &bound, &p), 0u) << "without A the call goes to B";
    EXPECT_EQ(owner->log.text, "pxp");
    pairOwner.reset();
    EXPECT_EQ(b->exec.cb->strong, 1);
}

// An owner whose end can be watched: the test keeps its memory with a weak
// reference, and its destroy routine leaves the strand usable but marked, so
// that a drain still running on it afterwards shows instead of crashing.
struct Mortal {
    ControlBlock* cb;
    Strand strand;
    int destroyed;
    LONG busyAtDestroy;
};

constexpr LONG kDestroyedMark = 0x7EAD;

void ConstructMortal(void* payload, ControlBlock* cb)
{
    auto* m = static_cast<Mortal*>(payload);
    m->cb = cb;
    StrandInit(&m->strand, cb);
}

void DestroyMortal(void* payload)
{
    auto* m = static_cast<Mortal*>(payload);
    m->busyAtDestroy = m->strand.busy;
    StrandDestroy(&m->strand);
    ++m->destroyed;
    InitializeCriticalSection(&m->strand.lock);
    m->strand.busy = kDestroyedMark;
}

// bound data: the Mortal, whose last strong reference the routine drops.
void DropsTheOwner(BufferHandle* bound, BufferHandle*) { ObjRelease(static_cast<Mortal*>(bound->data)->cb); }

void DoesNothing(BufferHandle*, BufferHandle*) {}

// The last strong release of a strand's owner happens inside the drain of its
// own strand: the owner goes only once the drain is done with the strand, and
// what was queued behind the releasing call still runs.
TEST_F(Executors, OwnerReleasedByAQueuedCallOutlivesTheDrain)
{
    const TypeDescriptor mortalType = {sizeof(Mortal), ConstructMortal, DestroyMortal};
    struct Case {
        const char* name;
        bool entryHoldsTheLastReference;  // else the routine itself drops it
        const char* queuedBehind;
    } cases[] = {
        {"the entry's own reference, nothing behind", true, ""},
        {"the entry's own reference, calls behind", true, "bc"},
        {"dropped by the routine, nothing behind", false, ""},
        {"dropped by the routine, calls behind", false, "bc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* m = Make<Mortal>(mortalType);
        ObjWeakAddRef(m->cb);
        ControlBlock* cb = m->cb;
        Log log;
        BufferHandle logBound = Word(0, &log), mortalBound = Word(0, m);
        ASSERT_EQ(StrandTryAcquire(&m->strand), 1);
        if (c.entryHoldsTheLastReference) {
            ASSERT_EQ(StrandPost(m, nullptr, DoesNothing, nullptr), kStatusPending);
            Drop(m);
        } else {
            HandOver(m);
            ASSERT_EQ(StrandRun(&m->strand, DropsTheOwner, &mortalBound, nullptr), kStatusPending);
        }
        for (const char* p = c.queuedBehind; *p; ++p) {
            BufferHandle letter = Word(static_cast<uint8_t>(*p));
            ASSERT_EQ(StrandRun(&m->strand, Record, &logBound, &letter), kStatusPending);
        }
        EXPECT_EQ(m->destroyed, 0);
        EXPECT_EQ(StrandDrain(&m->strand), 1);
        EXPECT_EQ(m->destroyed, 1);
        EXPECT_EQ(m->busyAtDestroy, 0) << "destroyed while its drain still ran";
        EXPECT_EQ(m->strand.busy, kDestroyedMark) << "the drain used the strand after its owner was destroyed";
        EXPECT_EQ(log.text, c.queuedBehind);
        DeleteCriticalSection(&m->strand.lock);
        ObjWeakRelease(cb);
    }
}

TEST_F(Executors, ReleaseNotifierFiresWhenItsBufferIsDestroyed)
{
    Log log;
    BufferHandle buffer;
    ASSERT_EQ(BufAlloc(&buffer, ReleaseNotifierInit, ReleaseNotifierFire, sizeof(ReleaseNotifier) + 8),
              kStatusSuccess);
    auto* notifier = static_cast<ReleaseNotifier*>(buffer.data);
    EXPECT_EQ(notifier->closure.routine, nullptr);
    BufferHandle bound = Word(0, &log);
    ClosureInit(&notifier->closure, Record, nullptr, &bound);
    BufferHandle message;
    ASSERT_EQ(BufAllocCopy(&message, "m", 1), kStatusSuccess);
    notifier->message = message;  // the notifier owns this reference now
    notifier->message.size = 'r';
    BufHandleRelease(&buffer);
    EXPECT_EQ(log.text, "r");
}

// A notifier that is armed again while it fires, as a reader re-arms its one
// notifier when its next read completes inside the release step.
struct Rearm {
    ReleaseNotifier* notifier;
    BufferHandle next;  // the new closure's bound handle
    Log* log;
};

void RearmWhileFiring(BufferHandle* bound, BufferHandle*)
{
    auto* r = static_cast<Rearm*>(bound->data);
    r->log->text += 'f';
    ReleaseNotifierInit(r->notifier);
    ClosureInit(&r->notifier->closure, Record, nullptr, &r->next);
}

TEST_F(Executors, ReleaseNotifierReArmedWhileFiringKeepsTheNewClosureAndReleasesTheOld)
{
    Log log;
    BlockOwner<ReleaseNotifier> owned(static_cast<ReleaseNotifier*>(BlockAlloc(sizeof(ReleaseNotifier))));
    ReleaseNotifier* notifier = owned.get();
    ASSERT_NE(notifier, nullptr);
    ReleaseNotifierInit(notifier);
    HandleOwner first, second;
    ASSERT_EQ(BufAlloc(first.put(), nullptr, nullptr, 4), kStatusSuccess);
    ASSERT_EQ(BufAlloc(second.put(), nullptr, nullptr, 4), kStatusSuccess);
    Rearm rearm = {notifier, *second.get(), &log};
    BufferHandle bound = *first.get();
    bound.data = &rearm;  // the handle keeps `first` alive; its data word points at the Rearm
    ClosureInit(&notifier->closure, RearmWhileFiring, nullptr, &bound);
    BufferHandle chunk;
    ASSERT_EQ(BufWrap(&chunk, notifier, nullptr, ReleaseNotifierFire, nullptr), kStatusSuccess);
    BufHandleRelease(&chunk);
    EXPECT_EQ(log.text, "f");
    EXPECT_EQ(first->cb->strong, 1) << "the fired closure was not released";
    EXPECT_EQ(second->cb->strong, 2) << "the new closure lost its reference";
    EXPECT_EQ(notifier->closure.routine, Record);
    ClosureOwner::Adopt(notifier->closure);  // the re-armed closure goes with the temporary owner
}

}  // namespace
