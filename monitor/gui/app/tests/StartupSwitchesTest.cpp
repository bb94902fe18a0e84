// The command line's switches, found anywhere in the whole line.
#include "StartupSwitches.h"

#include <gtest/gtest.h>

namespace {

struct SwitchCase {
    const char* line;
    bool autorun, noAutorun, minimize, stop;
};

TEST(StartupSwitches, EachIsFoundAnywhereInTheLineThePathIncluded)
{
    const SwitchCase cases[] = {
        {"quel.exe", false, false, false, false},
        {"\"C:\\Program Files\\Pelko\\quel.exe\" /minimize", false, false, true, false},
        {"quel.exe /autorun /noautorun /stop", true, true, false, true},
        {"quel.exe /noautorun", false, true, false, false},
        {"quel.exe/stop", false, false, false, true},
        {"C:\\tools/autorun\\quel.exe", true, false, false, false},  // the path holds a switch
        {"quel.exe /STOP /Minimize", false, false, false, false},   // switches are case-sensitive
        {"", false, false, false, false},
        {nullptr, false, false, false, false},
    };
    for (const SwitchCase& c : cases) {
        SCOPED_TRACE(c.line ? c.line : "(none)");
        const StartupSwitches s = ParseStartupSwitches(c.line);
        EXPECT_EQ(s.autorun, c.autorun);
        EXPECT_EQ(s.noAutorun, c.noAutorun);
        EXPECT_EQ(s.minimize, c.minimize);
        EXPECT_EQ(s.stop, c.stop);
    }
}

}  // namespace
