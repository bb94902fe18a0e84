// A failed assertion in a GUI program of the checked build: its report on
// standard error names the expression, file and line, and the program ends at
// once with a failing exit code instead of waiting in a message box.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "RunRedirected.h"

namespace {

TEST(AssertionReport, AFailedAssertionIsReportedOnStandardErrorAndEndsAGuiProgram)
{
    std::string text;
    const long exitCode = RunRedirected("checked_failing_assertion.exe", &text, 60000);
    ASSERT_NE(exitCode, -1) << "not started, or still running: a dialog waits for a click";
    EXPECT_EQ(exitCode, 3) << "0 means the assertion was compiled out";

    const std::string head = "Assertion failed: commandLine == nullptr, file ";
    EXPECT_NE(text.find(head), std::string::npos) << text;
    const std::string place = "FailingAssertion.cpp, line ";
    size_t at = text.find(place);
    ASSERT_NE(at, std::string::npos) << text;
    at += place.size();
    EXPECT_TRUE(at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) << text;
}

}  // namespace
