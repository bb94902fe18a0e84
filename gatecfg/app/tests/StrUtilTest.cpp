#include "StrUtil.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace gatecfg;

TEST(StrUtil, PosFrom)
{
    const struct { const char* sub; const char* text; std::size_t start, limit, pos; } cases[] = {
        {"ab", "xxab", 1, INT_MAX, 3},
        {"ab", "xxab", 3, INT_MAX, 3},
        {"ab", "xxab", 4, INT_MAX, 0},
        {"a", "xxab", 1, INT_MAX, 3},     // one character: the first-character test alone
        {"b", "xxab", 1, INT_MAX, 4},
        {"", "xxab", 1, INT_MAX, 0},
        {"ab", "", 1, INT_MAX, 0},
        {"xxabc", "xxab", 1, INT_MAX, 0}, // longer than the text
        {"ab", "xxab", 1, 3, 0},          // the match ends past the limit
        {"ab", "xxab", 1, 4, 3},
        {"ab", "xxab", 1, 100, 3},        // the limit is cut to the text
        {"ab", "xAb", 1, INT_MAX, 0},     // case-sensitive
        {"abca", "abcbabcabca", 1, INT_MAX, 5},  // inner characters decide
        {"abxa", "abcbabcabca", 1, INT_MAX, 0},
        {"abc", "ab", 1, INT_MAX, 0},
        {"ab", "xxab", 0, INT_MAX, 3},    // position 0 reads as the first one
        {"ab", "xxab", 5, INT_MAX, 0},    // past the text
        {"ab", "xxab", SIZE_MAX, INT_MAX, 0},  // starts near the top must not wrap round
        {"ab", "xxab", SIZE_MAX - 1, INT_MAX, 0},
        {"b", "xxab", SIZE_MAX, 100, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PosFrom(c.sub, c.text, c.start, c.limit), c.pos)
            << '"' << c.sub << "\" in \"" << c.text << "\" from " << c.start << " limit " << c.limit;
    EXPECT_EQ(PosFrom("ab", "xxab", 1), 3u);
}

TEST(StrUtil, ReplaceAll)
{
    const struct { const char* text; const char* oldText; const char* newText; const char* result; } cases[] = {
        {"0.5", ".", "", "05"},
        {"05", ".", "", "05"},
        {" . ", ".", "", "  "},
        {"aaa", "aa", "b", "ba"},
        {"a.b.c", ".", "--", "a--b--c"},
        {"..", ".", "", ""},
        {"abc", "", "x", "abc"},
        {"", ".", "x", ""},
        {"xAx", "a", "b", "xAx"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAll(c.text, c.oldText, c.newText), c.result)
            << '"' << c.text << "\" '" << c.oldText << "' -> '" << c.newText << "'";
}
