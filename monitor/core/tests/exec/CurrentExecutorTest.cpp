#include "exec/CurrentExecutor.h"
#include "exec/IoCommandQueue.h"
#include "exec/OwnedObject.h"
#include "exec/Strand.h"
#include "support/CoreTestFixture.h"

namespace {

class CurrentExecutor : public CoreTest {};

struct Where {
    Strand* a;
    Strand* b;
    bool onA = false;
    bool onB = false;
};

void Note(BufferHandle* bound, BufferHandle*)
{
    auto* where = static_cast<Where*>(bound->data);
    where->onA = RunsOnStrand(where->a);
    where->onB = RunsOnStrand(where->b);
}

struct StrandCase {
    const char* how;
    void (*run)(Where& where, BufferHandle* bound);
    bool onA;
    bool onB;
};

const StrandCase kStrandCases[] = {
    {"called directly, outside any strand", [](Where&, BufferHandle* bound) { Note(bound, nullptr); }, false,
     false},
    {"run on an idle strand", [](Where& w, BufferHandle* bound) { (void)StrandRun(w.a, Note, bound, nullptr); },
     true, false},
    {"queued and run by the drain",
     [](Where& w, BufferHandle* bound) {
         StrandAcquire(w.a);
         EXPECT_EQ(StrandRun(w.a, Note, bound, nullptr), kStatusPending);
         StrandDrain(w.a);
     },
     true, false},
    {"hopped from one strand to another",
     [](Where& w, BufferHandle* bound) { (void)StrandHop(w.a, &w.b->exec, Note, bound, nullptr); }, true, true},
};

TEST_F(CurrentExecutor, ARoutineRunsOnTheStrandsThatHoldItAndOnNoOther)
{
    auto a = MakeOwned<Strand>(kStrandType);
    auto b = MakeOwned<Strand>(kStrandType);
    ASSERT_TRUE(a && b);
    for (const StrandCase& row : kStrandCases) {
        SCOPED_TRACE(row.how);
        Where where{a.get(), b.get()};
        BufferHandle bound = {&where, nullptr, 0, 0};
        row.run(where, &bound);
        EXPECT_EQ(where.onA, row.onA);
        EXPECT_EQ(where.onB, row.onB);
        EXPECT_FALSE(RunsOnStrand(where.a)) << "the mark ends with the routine";
        EXPECT_FALSE(RunsOnExecutor(&where.a->exec));
    }
}

TEST_F(CurrentExecutor, ACommandQueueIsItsOwnerThread)
{
    auto owned = MakeOwned<IoCommandQueue>(kIoCommandQueueType);
    ASSERT_TRUE(owned);
    IoCommandQueue* q = owned.get();
    EXPECT_FALSE(RunsOnExecutor(&q->exec)) << "no I/O thread yet";
    q->owner = GetCurrentThreadId();
    EXPECT_TRUE(RunsOnExecutor(&q->exec));
    EXPECT_TRUE(RunsOnExecutor(nullptr)) << "no executor: the invoking thread";
}

}  // namespace
