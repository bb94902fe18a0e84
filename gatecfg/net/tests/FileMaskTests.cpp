// File-name masks.
#include <gtest/gtest.h>

#include <string>

#include "net/CalyxFileMask.h"

namespace {

using namespace calyx;

TEST(FileMask, MatchesAsFileNameMasksDo)
{
    struct TCase {
        const char* Text;
        const char* Mask;
        bool Matches;
    };
    const TCase cases[] = {
        {"readme.txt", "*.txt", true},
        {"README.TXT", "*.txt", true},
        {"readme.txt.bak", "*.txt", false},
        {"a.b.c", "*", true},
        {"", "*", true},
        {"", "", true},
        {"x", "", false},
        {"abc", "a?c", true},
        {"ac", "a?c", false},
        {"aXbYc", "a*b*c", true},
        {"aXbY", "a*b*c", false},
        {"mississippi", "*sip*", true},
        {"b7", "[a-c][0-9]", true},
        {"B7", "[a-c][0-9]", true},
        {"d7", "[a-c][0-9]", false},
        {"d7", "[!a-c]7", true},
        {"a7", "[!a-c]7", false},
        {"x", "[xyz", false},  // a set left open matches nothing
    };
    for (const TCase& c : cases)
        EXPECT_EQ(MatchesMask(c.Text, c.Mask), c.Matches) << c.Text << " / " << c.Mask;
    EXPECT_TRUE(HasMaskWildcards("a*"));
    EXPECT_TRUE(HasMaskWildcards("a?"));
    EXPECT_TRUE(HasMaskWildcards("[a]"));
    EXPECT_FALSE(HasMaskWildcards("gate.example.com"));
}

}  // namespace
