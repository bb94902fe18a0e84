// File-name masks and the host-name check built on them.
#include <gtest/gtest.h>

#include <string>

#include "net/CalyxFileMask.h"
#include "net/CalyxX509.h"

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

TEST(CertNameMatchesHost, AcceptsAWildcardOnlyAsTheWholeLeftLabelBeforeTwoLiteralOnes)
{
    struct TCase {
        const char* Name;
        const char* Host;
        bool Matches;
    };
    const TCase cases[] = {
        {"gate.example.com", "gate.example.com", true},
        {"GATE.Example.com", "gate.example.COM", true},
        {"gate.example.com", "gate.example.co", false},
        {"gate.example.com", "x.gate.example.com", false},
        // A leading wildcard label covers every host name below it.
        {"*.example.com", "gate.example.com", true},
        {"*.example.com", "a.b.example.com", true},
        {"*.example.com", "example.com", false},
        {"*.example.com", "gate.example.org", false},
        {"*.co.uk", "shop.co.uk", true},
        // Wildcards that would cover too much, or sit elsewhere.
        {"*", "gate.example.com", false},
        {"*.*", "gate.example.com", false},
        {"*.com", "example.com", false},
        {"*.com", "gate.example.com", false},
        {"a*b.example.com", "ab.example.com", false},
        {"a*b.example.com", "axb.example.com", false},
        {"g*.example.com", "gate.example.com", false},
        {"*.*.example.com", "a.b.example.com", false},
        {"*.example.*", "gate.example.com", false},
        {"*..com", "a..com", false},
        {"*.example.com.", "gate.example.com.", false},
        {"?.example.com", "a.example.com", false},
        {"[a-z].example.com", "a.example.com", false},
        {"*.example.c?m", "a.example.com", false},
        // Addresses are never covered by a wildcard.
        {"*.0.0.1", "127.0.0.1", false},
        {"*.168.1.1", "192.168.1.1", false},
        {"127.0.0.1", "127.0.0.1", true},
        {"", "gate.example.com", false},
        {"gate.example.com", "", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(CertNameMatchesHost(c.Name, c.Host), c.Matches) << c.Name << " / " << c.Host;
}

}  // namespace
