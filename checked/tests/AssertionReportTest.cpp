// A failed assertion in a GUI program of the checked build: its report on
// standard error names the expression, file and line, and the program ends at
// once with a failing exit code instead of waiting in a message box.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <string>

#include "win32/Handles.h"

namespace {

using win32::UniqueHandle;

struct Outcome {
    bool started = false;
    bool ended = false;
    DWORD exitCode = 0;
    std::string errorOutput;
};

// Runs `program` with its standard error into a pipe; a program still running
// after `waitMs` is ended, with `ended` false.
Outcome RunProgram(const char* program, DWORD waitMs)
{
    Outcome outcome;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return outcome;
    UniqueHandle reader(readEnd);
    UniqueHandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    std::string line = program;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info{};
    outcome.started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info) != 0;
    if (!outcome.started)
        return outcome;
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    writer.reset();  // the pipe ends when the program's copy closes

    outcome.ended = WaitForSingleObject(info.hProcess, waitMs) == WAIT_OBJECT_0;
    if (!outcome.ended) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, INFINITE);
    }
    GetExitCodeProcess(info.hProcess, &outcome.exitCode);
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        outcome.errorOutput.append(buffer, got);
    return outcome;
}

TEST(AssertionReport, AFailedAssertionIsReportedOnStandardErrorAndEndsAGuiProgram)
{
    Outcome outcome = RunProgram("checked_failing_assertion.exe", 60000);
    ASSERT_TRUE(outcome.started) << GetLastError();
    ASSERT_TRUE(outcome.ended) << "still running: a dialog waits for a click";
    EXPECT_EQ(outcome.exitCode, 3u) << "0 means the assertion was compiled out";

    const std::string& text = outcome.errorOutput;
    const std::string head = "Assertion failed: commandLine == nullptr, file ";
    EXPECT_NE(text.find(head), std::string::npos) << text;
    const std::string place = "FailingAssertion.cpp, line ";
    size_t at = text.find(place);
    ASSERT_NE(at, std::string::npos) << text;
    at += place.size();
    EXPECT_TRUE(at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) << text;
}

}  // namespace
