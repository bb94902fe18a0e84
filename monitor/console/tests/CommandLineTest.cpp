#include "CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CommandLine Parse(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "quelcon.exe");
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLine, Switches)
{
    struct Case {
        std::vector<const char*> arguments;
        bool usage, dump;
        const char* device;
    };
    const Case cases[] = {
        {{}, false, false, ""},
        {{"/?"}, true, false, ""},
        {{"-h"}, true, false, ""},
        {{"/H"}, false, false, ""},           // switches are case-sensitive
        {{"/D", "COM1"}, false, false, "COM1"},
        {{"/d", "COM1", "COM2"}, false, true, "COM2"},  // the last name wins
        {{"COM1", "-dx"}, false, true, "COM1"},         // only the second character counts
        {{"/xh"}, false, false, ""},
        {{"/", "-"}, false, false, ""},
    };
    for (const Case& c : cases) {
        const CommandLine line = Parse(c.arguments);
        std::string shown;
        for (const char* a : c.arguments)
            shown += std::string(a) + " ";
        EXPECT_EQ(line.WantsUsage(), c.usage) << shown;
        EXPECT_EQ(line.WantsDump(), c.dump) << shown;
        EXPECT_EQ(line.device, c.device) << shown;
    }
}

}  // namespace
