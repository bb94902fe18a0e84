#include "runtime/BufferHandle.h"
#include "runtime/HandleOwner.h"
#include "runtime/ControlBlock.h"
#include "runtime/ObjRef.h"
#include "runtime/TrackedBlock.h"
#include "support/CoreTestFixture.h"
#include "support/TestThreads.h"
#include <cstring>
#include <thread>
#include <vector>

namespace {

class Objects : public CoreTest {};

int g_destroyed;
void CountDestroy(void*) { ++g_destroyed; }

TEST_F(Objects, WeakHandleOutlivesStrongOnes)
{
    g_destroyed = 0;
    BufferHandle strong;
    ASSERT_EQ(BufAlloc(&strong, nullptr, CountDestroy, 16), kStatusSuccess);
    std::memset(strong.data, 0xAB, 16);
    BufferHandle weak;
    BufHandleWeakCopy(&weak, &strong);
    EXPECT_EQ(weak.weak, 1u);
    uint32_t blocks = LiveBlockCount();

    BufHandleRelease(&strong);
    EXPECT_EQ(g_destroyed, 1) << "destroy runs at the last strong release";
    EXPECT_EQ(LiveBlockCount(), blocks) << "memory stays until the last weak reference";
    EXPECT_EQ(static_cast<unsigned char*>(weak.data)[15], 0xAB);

    BufferHandle locked = {reinterpret_cast<void*>(1), nullptr, 0, 7};
    EXPECT_EQ(BufHandleLockCopy(&locked, &weak), 0);
    EXPECT_EQ(locked.data, nullptr);
    EXPECT_EQ(locked.cb, nullptr);
    EXPECT_EQ(BufHandleMakeStrong(&weak), 0);
    EXPECT_EQ(weak.weak, 1u) << "a failed make-strong leaves the handle unchanged";

    BufHandleRelease(&weak);
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_LT(LiveBlockCount(), blocks);
}

TEST_F(Objects, HandleCopiesTakeTheirOwnKindOfReference)
{
    {
        HandleOwner h, weak, strong, copy;
        ASSERT_EQ(BufAllocCopy(h.put(), "abc", 4), kStatusSuccess);
        EXPECT_STREQ(static_cast<char*>(h->data), "abc");
        BufHandleWeakCopy(weak.get(), h.get());
        BufHandleCopy(copy.get(), weak.get());
        EXPECT_EQ(copy->weak, 1u);
        EXPECT_EQ(h->cb->weak, 3);
        EXPECT_EQ(BufHandleLockCopy(strong.get(), weak.get()), 1);
        EXPECT_EQ(strong->weak, 0u);
        EXPECT_EQ(h->cb->strong, 2);
        EXPECT_EQ(BufHandleMakeStrong(copy.get()), 1);
        EXPECT_EQ(copy->weak, 0u);
        EXPECT_EQ(h->cb->strong, 3);
        EXPECT_EQ(h->cb->weak, 2);
    }

    // A strong handle without a control block copies as it is; none gives empty.
    char bytes[4];
    BufferHandle bare = {bytes, nullptr, 0, 4}, out;
    EXPECT_EQ(BufHandleLockCopy(&out, &bare), 1);
    EXPECT_EQ(out.data, bytes);
    EXPECT_EQ(BufHandleLockCopy(&out, nullptr), 0);
    EXPECT_EQ(BufHandleCopy(&out, nullptr)->data, nullptr);
}

TEST_F(Objects, AssignKeepsTheObjectWhenSourceAndDestinationShareIt)
{
    g_destroyed = 0;
    BufferHandle h;
    ASSERT_EQ(BufAlloc(&h, nullptr, CountDestroy, 8), kStatusSuccess);

    EXPECT_EQ(BufHandleAssign(&h, &h), 1);
    EXPECT_EQ(g_destroyed, 0) << "self-assignment lost the object";
    EXPECT_EQ(h.cb->strong, 1);

    BufferHandle weak;
    BufHandleWeakCopy(&weak, &h);
    EXPECT_EQ(BufHandleAssign(&h, &weak), 1);
    EXPECT_EQ(g_destroyed, 0) << "assigning from a weak handle on the same object lost it";
    EXPECT_EQ(h.cb->strong, 1);

    // From a weak handle whose object is gone: the destination ends empty.
    BufferHandle other;
    ASSERT_EQ(BufAlloc(&other, nullptr, nullptr, 8), kStatusSuccess);
    BufHandleRelease(&h);
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_EQ(BufHandleAssign(&other, &weak), 0);
    EXPECT_EQ(other.cb, nullptr);
    BufHandleRelease(&weak);
}

struct Member {
    ControlBlock* cb;
    int value;
};

struct Container {
    ControlBlock* cb;
    Member member;
};

void AttachMember(void* payload, ControlBlock* cb) { static_cast<Member*>(payload)->cb = cb; }
void ConstructContainer(void* payload, ControlBlock* cb)
{
    auto* c = static_cast<Container*>(payload);
    c->cb = cb;
    c->member.value = 42;
    ASSERT_EQ(ObjAttachPayload(&c->member, AttachMember, nullptr, cb), kStatusSuccess);
}
void DestroyContainer(void* payload)
{
    ++g_destroyed;
    ObjRelease(static_cast<Container*>(payload)->member.cb);  // the container's one teardown
}

TEST_F(Objects, EmbeddedMemberKeepsContainerMemoryUntilItsOwnFinalRelease)
{
    g_destroyed = 0;
    void* object;
    ASSERT_EQ(ObjCreateWithPayload(&object, ConstructContainer, DestroyContainer, sizeof(Container)),
              kStatusSuccess);
    auto* container = static_cast<Container*>(object);
    ControlBlock* memberCb = container->member.cb;
    EXPECT_EQ(memberCb->parent, container->cb);
    ObjWeakAddRef(memberCb);  // someone outside still looks at the member
    uint32_t blocks = LiveBlockCount();
    uint32_t objects = LiveObjectCount();

    ObjRelease(container->cb);
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_EQ(LiveBlockCount(), blocks) << "the container's memory went while its member lived";
    EXPECT_EQ(LiveObjectCount(), objects);
    EXPECT_EQ(container->member.value, 42);

    ObjWeakRelease(memberCb);
    EXPECT_EQ(LiveObjectCount(), objects - 2);
    EXPECT_LT(LiveBlockCount(), blocks);
}

TEST_F(Objects, ObjRefHoldsOneStrongReference)
{
    void* object;
    ASSERT_EQ(ObjCreateWithPayload(&object, AttachMember, nullptr, sizeof(Member)), kStatusSuccess);
    ControlBlock* cb = ObjControlBlockOf(object);
    ObjRef ref = {nullptr};
    ObjRefAssign(&ref, object);
    ObjRefAssign(&ref, object);
    EXPECT_EQ(cb->strong, 2);
    ObjRelease(cb);
    ObjRefRelease(&ref);
    EXPECT_EQ(ref.object, nullptr);
}

TEST_F(Objects, GatherLaysOutPiecesWithTheirRoutinesWordByWord)
{
    static std::vector<void*> destroyedPieces;
    destroyedPieces.clear();
    auto destroy = [](void* piece) { destroyedPieces.push_back(piece); };
    auto copyUpper = [](void* destination, const void* source) {
        std::memcpy(destination, "XYZ", 3);
        (void)source;
    };
    const BufPiece a = {"ab", 2, nullptr, destroy};
    const BufPiece b = {"cde", 3, nullptr, nullptr};
    const BufPiece c = {"xyz", 3, copyUpper, destroy};
    BufferHandle h;
    ASSERT_EQ(BufAllocGatherEx(&h, &a, &b, &c, static_cast<const BufPiece*>(nullptr)), kStatusSuccess);
    EXPECT_EQ(h.size, 8u);
    EXPECT_EQ(std::memcmp(h.data, "abcdeXYZ", 8), 0);
    auto* words = static_cast<uint32_t*>(h.data) - 5;
    EXPECT_EQ(static_cast<void*>(words), h.cb->payload);
    EXPECT_EQ(words[0], 2u);
    EXPECT_EQ(words[1], reinterpret_cast<uint32_t>(h.data));
    EXPECT_EQ(words[2], reinterpret_cast<uint32_t>(static_cast<PayloadRoutine>(destroy)));
    EXPECT_EQ(words[3], reinterpret_cast<uint32_t>(static_cast<char*>(h.data) + 5));
    EXPECT_EQ(words[4], reinterpret_cast<uint32_t>(static_cast<PayloadRoutine>(destroy)));
    void* first = h.data;
    BufHandleRelease(&h);
    ASSERT_EQ(destroyedPieces.size(), 2u);
    EXPECT_EQ(destroyedPieces[0], first);
    EXPECT_EQ(destroyedPieces[1], static_cast<char*>(first) + 5);

    // Without destroy routines the count word still stands before the data.
    HandleOwner bare;
    ASSERT_EQ(BufAllocGatherEx(bare.put(), &b, static_cast<const BufPiece*>(nullptr)), kStatusSuccess);
    EXPECT_EQ(static_cast<uint32_t*>(bare->data)[-1], 0u);
    EXPECT_EQ(static_cast<void*>(static_cast<uint32_t*>(bare->data) - 1), bare->cb->payload);

    HandleOwner gathered;
    ASSERT_EQ(BufAllocGather(gathered.put(), "ab", 2u, "", 0u, "cde", 3u, static_cast<const void*>(nullptr)),
              kStatusSuccess);
    EXPECT_EQ(gathered->size, 5u);
    EXPECT_EQ(std::memcmp(gathered->data, "abcde", 5), 0);
}

TEST_F(Objects, SizesThatWrapFailAsOutOfMemory)
{
    uint32_t blocks = LiveBlockCount();
    EXPECT_EQ(BlockAlloc(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(BlockAlloc(0xFFFFFFFCu), nullptr);
    BufferHandle h = {reinterpret_cast<void*>(1), nullptr, 0, 0};
    EXPECT_EQ(BufAllocGather(&h, "a", 0x80000000u, "b", 0x80000000u, static_cast<const void*>(nullptr)),
              kStatusNoMemory);
    EXPECT_EQ(h.data, nullptr);
    const BufPiece big = {"x", 0xFFFFFFF8u, nullptr, CountDestroy};
    EXPECT_EQ(BufAllocGatherEx(&h, &big, static_cast<const BufPiece*>(nullptr)), kStatusNoMemory);
    EXPECT_EQ(h.data, nullptr);
    EXPECT_EQ(LiveBlockCount(), blocks);
}

TEST_F(Objects, AllocationFailuresLeaveNothingBehind)
{
    // Fresh core: the control-block pool has no chunk yet, so the second
    // allocation (the pool's chunk) is the one that fails.
    uint32_t blocks = LiveBlockCount();
    uint32_t objects = LiveObjectCount();
    BufferHandle h;
    for (int successes : {0, 1}) {
        BlockAllocFailAfter(successes);
        EXPECT_EQ(BufAlloc(&h, nullptr, nullptr, 8), kStatusNoMemory);
        EXPECT_EQ(h.cb, nullptr);
        void* object = reinterpret_cast<void*>(1);
        BlockAllocFailAfter(successes);
        EXPECT_EQ(ObjCreateWithPayload(&object, AttachMember, nullptr, 8), kStatusNoMemory);
        EXPECT_EQ(object, nullptr);
    }
    BlockAllocFailAfter(-1);
    EXPECT_EQ(LiveBlockCount(), blocks);
    EXPECT_EQ(LiveObjectCount(), objects);
}

struct Raced {
    ControlBlock* cb;
    volatile LONG alive;
    volatile LONG users;
    volatile LONG destroyCount;
    volatile LONG destroyedInUse;
};

void DestroyRaced(void* payload)
{
    auto* r = static_cast<Raced*>(payload);
    if (r->users != 0)
        InterlockedIncrement(&r->destroyedInUse);
    InterlockedExchange(&r->alive, 0);
    InterlockedIncrement(&r->destroyCount);
}

TEST_F(Objects, TryLockRacingTheLastReleaseNeverYieldsADestroyedObject)
{
    constexpr int kObjects = 3000;
    constexpr int kLockers = 3;
    std::vector<Raced> raced(kObjects);
    for (Raced& r : raced) {
        r = {};
        r.alive = 1;
        ASSERT_EQ(ObjCreate(&r.cb, &r, DestroyRaced, nullptr, nullptr), kStatusSuccess);
        for (int i = 0; i < kLockers; ++i)
            ObjWeakAddRef(r.cb);
    }
    TestEvent go;
    volatile LONG sawDead = 0;
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        go.Wait();
        for (Raced& r : raced)
            ObjRelease(r.cb);
    });
    for (int t = 0; t < kLockers; ++t) {
        threads.emplace_back([&] {
            go.Wait();
            for (Raced& r : raced) {
                for (int attempt = 0; attempt < 4; ++attempt) {
                    if (!ObjTryLock(r.cb))
                        break;
                    InterlockedIncrement(&r.users);
                    if (!r.alive)
                        InterlockedIncrement(&sawDead);
                    InterlockedDecrement(&r.users);
                    ObjRelease(r.cb);
                }
                ObjWeakRelease(r.cb);
            }
        });
    }
    go.Set();
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(sawDead, 0);
    for (Raced& r : raced) {
        ASSERT_EQ(r.destroyCount, 1);
        ASSERT_EQ(r.destroyedInUse, 0);
    }
}

}  // namespace
