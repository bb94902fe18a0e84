// Shortcut texts from an accelerator table, with key names given by the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AcceleratorKeys.h"

namespace {

std::string TestKeyName(WORD key)
{
    if (key >= VK_F1 && key <= VK_F12)
        return "F" + std::to_string(key - VK_F1 + 1);
    return std::string(1, char(key));
}

ACCEL Key(BYTE flags, WORD key, WORD command)
{
    return ACCEL{BYTE(flags | FVIRTKEY), key, command};
}

TEST(AcceleratorKeys, TheTextAfterTheTabIsRebuiltFromEveryKeyOfTheCommandLatestFirst)
{
    const std::vector<ACCEL> table = {
        Key(FCONTROL, 'N', 1),
        Key(FCONTROL, 'C', 2),
        Key(0, VK_F5, 1),
        Key(FALT | FCONTROL | FSHIFT, 'L', 3),
        ACCEL{FCONTROL, 'q', 4},  // a character, not a virtual key
        Key(FSHIFT, VK_F2, 1),
    };
    AcceleratorKeys keys(TestKeyName);
    keys.Load(table.data(), int(table.size()));
    ASSERT_TRUE(keys.IsLoaded());
    struct Case {
        const char* text;
        UINT command;
        const char* expected;
        bool appended;
    } cases[] = {
        {"&Copy\tCtrl+C", 2, "&Copy\tCtrl+C", true},
        {"&Copy", 2, "&Copy\tCtrl+C", true},
        {"&New\tCtrl+Old", 1, "&New\tShift+F2, F5, Ctrl+N", true},
        {"&Long", 3, "&Long\tAlt+Ctrl+Shift+L", true},
        {"&Quit", 4, "&Quit\tCtrl+q", true},
        {"&Open...\tCtrl+O", 9, "&Open...", false},
        {"&Open...", 9, "&Open...", false},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(keys.AppendText(text, c.command), c.appended) << c.text;
        EXPECT_EQ(text, c.expected) << c.text;
    }

    keys.Load(nullptr, 0);
    EXPECT_FALSE(keys.IsLoaded());
    std::string text = "&Copy";
    EXPECT_FALSE(keys.AppendText(text, 2));
}

TEST(AcceleratorKeys, TheSystemNamesTheKeysOfTheLayout)
{
    EXPECT_EQ(SystemKeyName('C'), "C");
    EXPECT_EQ(SystemKeyName(VK_F5), "F5");
}

}  // namespace
