#include "exec/ClosureOwner.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include "support/CoreTestFixture.h"
#include <utility>

namespace {

class Owners : public CoreTest {};

struct Counts {
    LONG strong;
    LONG weak;
};

bool operator==(const Counts& a, const Counts& b) { return a.strong == b.strong && a.weak == b.weak; }

std::ostream& operator<<(std::ostream& out, const Counts& c)
{
    return out << "{strong " << c.strong << ", weak " << c.weak << "}";
}

Counts CountsOf(const BufferHandle* h) { return {h->cb->strong, h->cb->weak}; }

void NoRoutine(BufferHandle*, BufferHandle*) {}

// An executor record governed by the buffer's own control block, so that a
// closure's reference on its target shows in the same counts.
ExecutorRecord ExecutorOver(const BufferHandle* h) { return {h->cb, nullptr}; }

struct OwnerRule {
    const char* rule;
    // Works with owners on the object of `h` (the test holds one strong
    // reference) and gives the counts at the moment the rule is about.
    Counts (*run)(BufferHandle* h);
    Counts expected;
};

const OwnerRule kOwnerRules[] = {
    {"a handle copy adds a reference of the source's kind",
     [](BufferHandle* h) { return CountsOf(HandleOwner::Copy(h).get()); }, {2, 1}},
    {"a copy of a weak handle adds a weak reference",
     [](BufferHandle* h) {
         BufferHandle weak;
         auto owner = HandleOwner::Adopt(*BufHandleWeakCopy(&weak, h));
         auto copy = HandleOwner::Copy(owner.get());
         return CountsOf(h);
     },
     {1, 3}},
    {"adopting a handle adds nothing",
     [](BufferHandle* h) {
         BufferHandle copy;
         auto owner = HandleOwner::Adopt(*BufHandleCopy(&copy, h));
         return CountsOf(h);
     },
     {2, 1}},
    {"a lock-copy of a weak handle is strong",
     [](BufferHandle* h) {
         BufferHandle weak;
         auto owner = HandleOwner::Adopt(*BufHandleWeakCopy(&weak, h));
         auto locked = HandleLockCopy(owner.get());
         EXPECT_EQ(locked->weak, 0u);
         return CountsOf(h);
     },
     {2, 2}},
    {"a move carries the one reference over",
     [](BufferHandle* h) {
         auto from = HandleOwner::Copy(h);
         HandleOwner to(std::move(from));
         EXPECT_FALSE(from);
         EXPECT_TRUE(to);
         return CountsOf(h);
     },
     {2, 1}},
    {"a move assignment drops what the target held",
     [](BufferHandle* h) {
         auto from = HandleOwner::Copy(h);
         auto to = HandleOwner::Copy(h);
         to = std::move(from);
         return CountsOf(h);
     },
     {2, 1}},
    {"a move onto itself keeps the reference",
     [](BufferHandle* h) {
         auto owner = HandleOwner::Copy(h);
         HandleOwner& alias = owner;
         owner = std::move(alias);
         EXPECT_EQ(owner->cb, h->cb);
         return CountsOf(h);
     },
     {2, 1}},
    {"reset drops the reference and empties the owner",
     [](BufferHandle* h) {
         auto owner = HandleOwner::Copy(h);
         owner.reset();
         EXPECT_FALSE(owner);
         return CountsOf(h);
     },
     {1, 1}},
    {"put empties the owner before a routine fills it",
     [](BufferHandle* h) {
         auto owner = HandleOwner::Copy(h);
         BufHandleCopy(owner.put(), h);
         return CountsOf(h);
     },
     {2, 1}},
    {"release hands the reference out and drops nothing",
     [](BufferHandle* h) {
         BufferHandle out;
         {
             auto owner = HandleOwner::Copy(h);
             out = owner.release();
         }
         Counts counts = CountsOf(h);
         BufHandleRelease(&out);
         return counts;
     },
     {2, 1}},
    {"an object reference taken with AddRef is dropped at its end",
     [](BufferHandle* h) {
         auto owner = RefOwner<ControlBlock>::AddRef(h->cb);
         return CountsOf(h);
     },
     {2, 1}},
    {"a copied object reference adds its own",
     [](BufferHandle* h) {
         auto owner = RefOwner<ControlBlock>::AddRef(h->cb);
         RefOwner<ControlBlock> copy(owner);
         return CountsOf(h);
     },
     {3, 1}},
    {"a moved object reference carries the one reference over",
     [](BufferHandle* h) {
         auto owner = RefOwner<ControlBlock>::AddRef(h->cb);
         RefOwner<ControlBlock> moved(std::move(owner));
         EXPECT_FALSE(owner);
         return CountsOf(h);
     },
     {2, 1}},
    {"an adopted object reference adds nothing",
     [](BufferHandle* h) {
         ObjAddRef(h->cb);
         auto owner = RefOwner<ControlBlock>::Adopt(h->cb);
         return CountsOf(h);
     },
     {2, 1}},
    {"a try-locked reference on a live object is strong",
     [](BufferHandle* h) {
         auto owner = RefOwner<ControlBlock>::TryLock(h->cb);
         EXPECT_TRUE(owner);
         return CountsOf(h);
     },
     {2, 1}},
    {"a managed object is reached through its first word",
     [](BufferHandle* h) {
         ControlBlock* word = h->cb;  // an object whose first word is the control block
         auto owner = RefOwner<ControlBlock*>::AddRef(&word);
         return CountsOf(h);
     },
     {2, 1}},
    {"a copied closure holds its target and its bound handle",
     [](BufferHandle* h) {
         ExecutorRecord executor = ExecutorOver(h);
         Closure source;
         ClosureInit(&source, NoRoutine, &executor, h);
         auto owner = ClosureOwner::Adopt(source);
         auto copy = ClosureOwner::Copy(owner.get());
         return CountsOf(h);
     },
     {5, 1}},
    {"a released closure keeps its references",
     [](BufferHandle* h) {
         ExecutorRecord executor = ExecutorOver(h);
         Closure out;
         {
             ClosureOwner owner;
             ClosureInit(owner.put(), NoRoutine, &executor, h);
             out = owner.release();
         }
         Counts counts = CountsOf(h);
         ClosureRelease(&out);
         return counts;
     },
     {3, 1}},
};

TEST_F(Owners, EachRuleCountsTheReferencesItShould)
{
    for (const OwnerRule& row : kOwnerRules) {
        SCOPED_TRACE(row.rule);
        BufferHandle h;
        ASSERT_EQ(BufAlloc(&h, nullptr, nullptr, 4), kStatusSuccess);
        EXPECT_EQ(row.run(&h), row.expected);
        EXPECT_EQ(CountsOf(&h), (Counts{1, 1})) << "every owner dropped exactly what it held";
        BufHandleRelease(&h);
    }
}

TEST_F(Owners, StrongFormsOfADestroyedObjectAreEmpty)
{
    BufferHandle h;
    ASSERT_EQ(BufAlloc(&h, nullptr, nullptr, 4), kStatusSuccess);
    BufferHandle weak;
    auto weakOwner = HandleOwner::Adopt(*BufHandleWeakCopy(&weak, &h));
    BufHandleRelease(&h);

    EXPECT_FALSE(HandleLockCopy(weakOwner.get()));
    EXPECT_FALSE(RefOwner<ControlBlock>::TryLock(weakOwner->cb));
    EXPECT_EQ(weakOwner->cb->weak, 1) << "the weak owner still holds the memory, and drops it at its end";
}

}  // namespace
