// The link label's layout as plain geometry, with a text measure of 5 pixels a
// character and lines 10 pixels high.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LabelLayout.h"

namespace {

constexpr int kCharWidth = 5;
constexpr int kLine = 10;

LabelLayout Lay(const std::string& text, int width, int height = kLine, DWORD style = SS_LEFT)
{
    return LayoutLabelText(text, width, height, style, kLine,
                           [](const char*, size_t length) { return int(length) * kCharWidth; });
}

struct Seg {
    RECT rect;
    std::string text;
    int link;
};

bool operator==(const Seg& a, const LabelSegment& b)
{
    return EqualRect(&a.rect, &b.rect) && a.text == b.text && a.link == b.link;
}

void ExpectSegments(const LabelLayout& layout, const std::vector<Seg>& expected)
{
    ASSERT_EQ(layout.segments.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const LabelSegment& s = layout.segments[i];
        EXPECT_TRUE(expected[i] == s) << "segment " << i << ": \"" << s.text << "\" (" << s.rect.left << ", "
                                      << s.rect.top << ", " << s.rect.right << ", " << s.rect.bottom
                                      << ") link " << s.link;
    }
}

// The segments with text, as "text" or "text@link".
std::vector<std::string> Texts(const LabelLayout& layout)
{
    std::vector<std::string> texts;
    for (const LabelSegment& s : layout.segments)
        if (!s.text.empty())
            texts.push_back(s.link < 0 ? s.text : s.text + "@" + std::to_string(s.link));
    return texts;
}

TEST(LabelLayout, TextBeforeAndAfterALinkStaysPlainAndFillersTakeTheRestOfTheLine)
{
    LabelLayout layout = Lay("Visit ~our site|Shttp://x/~ now", 400);
    ExpectSegments(layout, {{{0, 0, 30, 10}, "Visit ", -1},
                            {{30, 0, 70, 10}, "our site", 0},
                            {{70, 0, 90, 10}, " now", -1},
                            {{90, 0, 400, 10}, "", -1}});
    ASSERT_EQ(layout.links.size(), 1u);
    EXPECT_EQ(layout.links[0].kind, LinkShell);
    EXPECT_EQ(layout.links[0].target, "http://x/");
    EXPECT_EQ(HitTestLabel(layout, POINT{10, 5}), -1);
    EXPECT_EQ(HitTestLabel(layout, POINT{30, 5}), 0);
    EXPECT_EQ(HitTestLabel(layout, POINT{69, 9}), 0);
    EXPECT_EQ(HitTestLabel(layout, POINT{70, 5}), -1);
    EXPECT_EQ(HitTestLabel(layout, POINT{200, 5}), -1);
}

TEST(LabelLayout, KindLettersTargetsAndUnfinishedLinks)
{
    struct Case {
        const char* text;
        std::vector<std::string> segments;
        std::vector<std::pair<int, std::string>> links;
    } cases[] = {
        {"~Refresh~", {"Refresh@0"}, {{LinkCommand, ""}}},
        {"~ask|Nquestion~", {"ask@0"}, {{LinkNotify, "question"}}},
        {"~ask|nquestion~", {"ask@0"}, {{LinkNotify, "question"}}},
        {"~open|sC:\\docs\\readme.txt~", {"open@0"}, {{LinkShell, "C:\\docs\\readme.txt"}}},
        {"~help|W42~", {"help@0"}, {{LinkWinHelp, "42"}}},
        {"~topic|hpm_hex_dump.htm~", {"topic@0"}, {{LinkHelpTopic, "pm_hex_dump.htm"}}},
        {"~odd|Xwhat~", {"odd@0"}, {{LinkCommand, "what"}}},
        {"~manual|Hmanual.htm", {"manual@0"}, {{LinkHelpTopic, "manual.htm"}}},
        {"~unclosed link", {"unclosed link@0"}, {{LinkCommand, ""}}},
        // A bar with nothing after it, at the end of the text or before the closing tilde.
        {"~text|", {"text@0"}, {{LinkCommand, ""}}},
        {"~text|~ rest", {"text@0", " rest"}, {{LinkCommand, ""}}},
        {"a ~b~ c ~d|Se~", {"a ", "b@0", " c ", "d@1"}, {{LinkCommand, ""}, {LinkShell, "e"}}},
        {"no links | here", {"no links | here"}, {}},
        {"", {}, {}},
    };
    for (const Case& c : cases) {
        LabelLayout layout = Lay(c.text, 400);
        EXPECT_EQ(Texts(layout), c.segments) << c.text;
        std::vector<std::pair<int, std::string>> links;
        for (const LabelLink& link : layout.links)
            links.emplace_back(link.kind, link.target);
        EXPECT_EQ(links, c.links) << c.text;
    }
}

TEST(LabelLayout, LinesWrapAtBlanksAndALinkMayGoOnToTheNextLine)
{
    ExpectSegments(Lay("hello world", 50, 30), {{{0, 0, 30, 10}, "hello ", -1},
                                                 {{30, 0, 50, 10}, "", -1},
                                                 {{0, 10, 25, 20}, "world", -1},
                                                 {{25, 10, 50, 20}, "", -1},
                                                 {{0, 20, 50, 30}, "", -1}});

    LabelLayout link = Lay("x ~aaaa bbbb~", 40, 20);
    ExpectSegments(link, {{{0, 0, 10, 10}, "x ", -1},
                          {{10, 0, 35, 10}, "aaaa ", 0},
                          {{35, 0, 40, 10}, "", -1},
                          {{0, 10, 20, 20}, "bbbb", 0},
                          {{20, 10, 40, 20}, "", -1}});
    EXPECT_EQ(HitTestLabel(link, POINT{15, 5}), 0);
    EXPECT_EQ(HitTestLabel(link, POINT{5, 15}), 0);
    EXPECT_EQ(HitTestLabel(link, POINT{30, 15}), -1);

    // Line ends in the text break lines too; each of "\r" and "\n" is one break.
    EXPECT_EQ(Texts(Lay("a\nb\r\nc", 400, 40)), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Lay("a\nb\r\nc", 400, 40).segments.back().rect.top, 30);
}

TEST(LabelLayout, AWordWiderThanTheLabelStaysOnALineOfItsOwnOverflowing)
{
    ExpectSegments(Lay("extraordinarily", 50), {{{0, 0, 75, 10}, "extraordinarily", -1}});
    ExpectSegments(Lay("ab extraordinarily", 50, 20), {{{0, 0, 15, 10}, "ab ", -1},
                                                        {{15, 0, 50, 10}, "", -1},
                                                        {{0, 10, 75, 20}, "extraordinarily", -1}});
}

TEST(LabelLayout, LinesOfHeightZeroStillEnd)
{
    const LabelLayout flat = LayoutLabelText("ab extraordinarily", 50, 0, SS_LEFT, 0,
                                             [](const char*, size_t length) { return int(length) * kCharWidth; });
    EXPECT_EQ(Texts(flat), (std::vector<std::string>{"ab ", "extraordinarily"}));
}

TEST(LabelLayout, NoWordWrapKeepsOneLine)
{
    ExpectSegments(Lay("hello world", 50, 10, SS_LEFTNOWORDWRAP), {{{0, 0, 55, 10}, "hello world", -1}});
}

TEST(LabelLayout, CentringMovesTheLinesAndPutsFillersOnBothSides)
{
    ExpectSegments(Lay("abc", 100, 10, SS_CENTER), {{{42, 0, 57, 10}, "abc", -1},
                                                     {{0, 0, 42, 10}, "", -1},
                                                     {{57, 0, 100, 10}, "", -1}});
    ExpectSegments(Lay("abc", 100, 30, SS_CENTER | SS_CENTERIMAGE), {{{42, 10, 57, 20}, "abc", -1},
                                                                      {{0, 10, 42, 20}, "", -1},
                                                                      {{57, 10, 100, 20}, "", -1},
                                                                      {{0, 0, 100, 10}, "", -1},
                                                                      {{0, 20, 100, 30}, "", -1}});
    // Two lines in a label of four: one line's room above, one below.
    LabelLayout two = Lay("hello world", 50, 40, SS_CENTERIMAGE);
    EXPECT_EQ(two.segments[0].rect.top, 10);
    EXPECT_EQ(two.segments[2].rect.top, 20);
}

}  // namespace
