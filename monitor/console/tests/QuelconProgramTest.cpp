#include "CommandLine.h"
#include "ConsoleSession.h"
#include "RunRedirected.h"

#include <gtest/gtest.h>

namespace {

std::string Quelcon() { return ModuleDirectory() + "quelcon.exe"; }

// Redirected, every line ends in CR LF, as Windows tools read a text file.
std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

TEST(QuelconProgram, UsageForQuestionMarkAndLowerH)
{
    for (const char* argument : {"/?", "-h", "/d /h COM2"}) {
        std::string output;
        EXPECT_EQ(RunRedirected("\"" + Quelcon() + "\" " + argument, &output, 20000), 0) << argument;
        EXPECT_EQ(output, WithCrLf(kUsageText)) << argument;
    }
}

TEST(QuelconProgram, UpperHStartsMonitoringAndEscapeEndsIt)
{
    ConsoleSession session;
    ASSERT_TRUE(session.Start(Quelcon(), "/H"));
    ASSERT_TRUE(session.WaitForScreen(
        [](const std::vector<std::string>& rows) {
            return rows.size() >= 2 && rows[0] == "Pelko Monitor Console v5.0" &&
                   rows[1] == "Press ESC to exit...";
        },
        20000));
    session.PressKey('A', 'a');
    session.PressKey(VK_ESCAPE, 27);
    EXPECT_EQ(session.WaitExit(10000), 0);
    const std::vector<std::string> rows = session.Screen();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "Uninitializing...");
}

// Ctrl-C ends the program as ESC does, not at once with the system's exit code.
TEST(QuelconProgram, CtrlCEndsItAsEscapeDoes)
{
    ConsoleSession session;
    ASSERT_TRUE(session.Start(Quelcon(), ""));
    // Running, between two attempts to reach the log service (3 s apart).
    ASSERT_TRUE(session.WaitForText("master_channel: Unable to establish", 20000));
    session.PressCtrlC();
    EXPECT_EQ(session.WaitExit(15000), 0);
    const std::vector<std::string> rows = session.Screen();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "Uninitializing...");
}

}  // namespace
