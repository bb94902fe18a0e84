// The rules every owner keeps: what moves, resets, releases and assignments
// give back, and in which order.
#include "win32/ComPtr.h"
#include "win32/UniqueResource.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// What the owners did, in order: "c1" closed resource 1, "+a" AddRef'd object a,
// "-a" released it.
std::string g_log;

// Positive values own something; 0 and negatives (as INVALID_HANDLE_VALUE) do not.
struct FakeTraits {
    using Value = int;
    static constexpr int kNone = 0;
    static bool Valid(int v) { return v > 0; }
    static void Close(int v) { g_log += "c" + std::to_string(v); }
};
using Unique = win32::UniqueResource<FakeTraits>;

struct Counted {
    char name;
    void AddRef() { g_log += std::string("+") + name; }
    void Release() { g_log += std::string("-") + name; }
};
Counted a{'a'};
Counted b{'b'};
using Ptr = win32::ComPtr<Counted>;

struct OwnerCase {
    const char* name;
    void (*act)();
    const char* log;
};

const OwnerCase kCases[] = {
    {"unique: the destructor closes", [] { Unique one(1); }, "c1"},
    {"unique: values that own nothing are never closed",
     [] {
         Unique none(-1);
         none.reset(0);
         EXPECT_FALSE(none);
     },
     ""},
    {"unique: reset closes the old and keeps the new",
     [] {
         Unique one(1);
         one.reset(2);
         EXPECT_EQ(one.get(), 2);
     },
     "c1c2"},
    {"unique: release hands over without closing",
     [] {
         Unique one(1);
         EXPECT_EQ(one.release(), 1);
         EXPECT_FALSE(one);
     },
     ""},
    {"unique: a move leaves one owner",
     [] {
         Unique one(1);
         Unique other(std::move(one));
         EXPECT_FALSE(one);
     },
     "c1"},
    {"unique: a move assignment closes what the target held",
     [] {
         Unique one(1);
         Unique two(2);
         two = std::move(one);
         EXPECT_EQ(g_log, "c2");
     },
     "c2c1"},
    {"unique: put closes what is held and lends the slot",
     [] {
         Unique one(1);
         *one.put() = 3;
     },
     "c1c3"},
    {"com: a raw pointer is shared", [] { Ptr p(&a); }, "+a-a"},
    {"com: Adopt takes the caller's reference", [] { auto p = Ptr::Adopt(&a); }, "-a"},
    {"com: a copy takes a reference of its own",
     [] {
         auto p = Ptr::Adopt(&a);
         Ptr q(p);
     },
     "+a-a-a"},
    {"com: a move hands the reference over",
     [] {
         auto p = Ptr::Adopt(&a);
         Ptr q(std::move(p));
         EXPECT_FALSE(p);
     },
     "-a"},
    {"com: assigning another takes the new reference before giving the old back",
     [] {
         auto p = Ptr::Adopt(&a);
         auto q = Ptr::Adopt(&b);
         p = q;
     },
     "+b-a-b-b"},
    {"com: assigning the object already held keeps it alive throughout",
     [] {
         auto p = Ptr::Adopt(&a);
         Ptr q(&a);
         p = q;
     },
     "+a+a-a-a-a"},
    {"com: a move assignment gives the target's old reference back",
     [] {
         auto p = Ptr::Adopt(&a);
         auto q = Ptr::Adopt(&b);
         p = std::move(q);
         EXPECT_EQ(g_log, "-a");
     },
     "-a-b"},
    {"com: release hands the reference to the caller",
     [] {
         auto p = Ptr::Adopt(&a);
         EXPECT_EQ(p.release(), &a);
     },
     ""},
    {"com: reset gives the reference back once",
     [] {
         auto p = Ptr::Adopt(&a);
         p.reset();
         p.reset();
     },
     "-a"},
    {"com: put gives back what is held and lends the slot",
     [] {
         auto p = Ptr::Adopt(&a);
         *p.put() = &b;
     },
     "-a-b"},
};

TEST(OwnersTest, EachOwnerGivesBackOnceAndInOrder)
{
    for (const OwnerCase& c : kCases) {
        SCOPED_TRACE(c.name);
        g_log.clear();
        c.act();
        EXPECT_EQ(g_log, c.log);
    }
}

}  // namespace
