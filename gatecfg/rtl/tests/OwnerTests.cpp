// The owner's rules: what moves, resets and releases give back, and when.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "rtl/Owner.h"

namespace {

// What was given back, in order: "f1" freed resource 1.
std::string gLog;
struct TFakeTraits;
rtl::TOwner<TFakeTraits>* gWatched = nullptr;

// Positive values own something. Free notes whether the watched owner still
// held the value being freed ("!" after it when it did).
struct TFakeTraits {
    using Value = int;
    static constexpr Value None = 0;
    static bool Valid(Value value) noexcept { return value > 0; }
    static void Free(Value value);
};
using TFake = rtl::TOwner<TFakeTraits>;

void TFakeTraits::Free(Value value)
{
    gLog += "f" + std::to_string(value);
    if (gWatched && gWatched->Get() == value)
        gLog += "!";
}

// An entry resolved at run time: the owner calls whatever the pointer holds then.
void(__cdecl* gFreeEntry)(char*) = nullptr;
void __cdecl LogFree(char* text) { gLog += std::string("p") + text; }
using TPointer = rtl::TOwner<rtl::TPointerTraits<char, &gFreeEntry>>;
char gText[] = "x";

struct TOwnerCase {
    const char* name;
    void (*act)();
    const char* log;
};

const TOwnerCase kCases[] = {
    {"the destructor frees", [] { TFake one(1); }, "f1"},
    {"values that own nothing are never freed",
     [] {
         TFake none(-1);
         none.Reset(0);
         EXPECT_FALSE(none);
     },
     ""},
    {"reset lets go of the old value before freeing it",
     [] {
         TFake one(1);
         gWatched = &one;
         one.Reset(2);
         gWatched = nullptr;
         EXPECT_EQ(one.Get(), 2);
     },
     "f1f2"},
    {"release hands over without freeing",
     [] {
         TFake one(1);
         EXPECT_EQ(one.Release(), 1);
         EXPECT_FALSE(one);
     },
     ""},
    {"a move leaves one owner",
     [] {
         TFake one(1);
         TFake other(std::move(one));
         EXPECT_FALSE(one);
     },
     "f1"},
    {"a move assignment frees what the target held",
     [] {
         TFake one(1);
         TFake two(2);
         two = std::move(one);
         EXPECT_EQ(gLog, "f2");
     },
     "f2f1"},
    {"put frees what is held and lends the slot",
     [] {
         TFake one(1);
         *one.Put() = 3;
     },
     "f1f3"},
    {"a run-time entry is called as it is when the owner frees",
     [] {
         TPointer text(gText);
         gFreeEntry = &LogFree;
     },
     "px"},
};

TEST(OwnerTest, EachOwnerFreesOnceAndInOrder)
{
    for (const TOwnerCase& c : kCases) {
        SCOPED_TRACE(c.name);
        gLog.clear();
        c.act();
        EXPECT_EQ(gLog, c.log);
    }
}

}  // namespace
