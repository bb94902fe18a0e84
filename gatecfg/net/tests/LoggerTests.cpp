#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "net/CalyxLogger.h"

using namespace calyx;

namespace {

std::string TempName(const char* tag)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "cxlogger_" + tag + "_" + std::to_string(GetCurrentProcessId()) + ".log";
}

std::string ReadFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& name, const std::string& content)
{
    std::ofstream(name, std::ios::binary) << content;
}

struct LoggerTest : ::testing::Test {
    TCxLogger* L = rtl::Create<TCxLogger>(nullptr);
    std::string A = TempName("a");
    std::string B = TempName("b");
    void SetUp() override
    {
        DeleteFileA(A.c_str());
        DeleteFileA(B.c_str());
        L->SetClock([] { return rtl::EncodeDateTime(2026, 12, 10, 12, 0, 0, 5); });
    }
    void TearDown() override
    {
        if (L)
            L->Free();
        DeleteFileA(A.c_str());
        DeleteFileA(B.c_str());
    }
};

}  // namespace

TEST_F(LoggerTest, StampedMessagesReachEveryChosenDestination)
{
    std::vector<std::string> events;
    std::vector<TLogOption> kinds;
    L->SetOnCxLogEvent([&](rtl::TObject* sender, TLogOption option, const std::string& text) {
        EXPECT_EQ(sender, L);
        kinds.push_back(option);
        events.push_back(text);
    });
    L->SetLogFileName(A);
    L->SetLogOptions(LogOptionSet(loDestFile, loAddStamp, loDestEvent, loDestOutDebug));
    L->LogMessage(L, loWsockInfo, "x");
    L->SetTimeStampSeparator(" | ");
    L->SetTimeStampFormatString("yyyy-mm-dd hh:nn");
    L->LogMessage(L, loWsockErr, "y");
    L->SetLogOptions(LogOptionSet(loDestFile, loDestEvent));
    L->LogMessage(L, loSslDump, "plain");
    L->CloseLogFile();
    EXPECT_EQ(events, (std::vector<std::string>{"12:00:00:005 x", "2026-12-10 12:00 | y", "plain"}));
    EXPECT_EQ(kinds, (std::vector<TLogOption>{loWsockInfo, loWsockErr, loSslDump}));
    EXPECT_EQ(ReadFile(A), "12:00:00:005 x\r\n2026-12-10 12:00 | y\r\nplain\r\n");

    // No destination chosen: nothing is written, not even the event.
    L->SetLogOptions(LogOptionSet(loAddStamp));
    L->LogMessage(L, loWsockInfo, "dropped");
    EXPECT_EQ(events.size(), 3u);
    EXPECT_EQ(ReadFile(A), "12:00:00:005 x\r\n2026-12-10 12:00 | y\r\nplain\r\n");
}

TEST_F(LoggerTest, AppendKeepsOldLinesAndOverwriteEmptiesTheFile)
{
    WriteFile(A, "old\r\n");
    L->SetLogOptions(LogOptionSet(loDestFile));
    L->SetLogFileName(A);
    L->LogMessage(nullptr, loWsockInfo, "new");
    L->CloseLogFile();
    EXPECT_EQ(ReadFile(A), "old\r\nnew\r\n");

    L->SetLogFileOption(lfoOverwrite);
    L->LogMessage(nullptr, loWsockInfo, "1");
    // The same name again keeps the open file: no second truncation.
    L->SetLogFileName(A);
    L->LogMessage(nullptr, loWsockInfo, "2");
    L->CloseLogFile();
    EXPECT_EQ(ReadFile(A), "1\r\n2\r\n");
}

TEST_F(LoggerTest, ANewFileNameClosesTheOldFile)
{
    L->SetLogOptions(LogOptionSet(loDestFile));
    L->SetLogFileName(A);
    L->LogMessage(nullptr, loWsockInfo, "to a");
    // While open, others may read but not write.
    HANDLE h = CreateFileA(A.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);

    L->SetLogFileName(B);
    h = CreateFileA(A.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    L->LogMessage(nullptr, loWsockInfo, "to b");
    L->CloseLogFile();
    EXPECT_EQ(ReadFile(A), "to a\r\n");
    EXPECT_EQ(ReadFile(B), "to b\r\n");
}

TEST_F(LoggerTest, FileFailuresRaiseAndLeaveTheFileClosed)
{
    L->SetLogOptions(LogOptionSet(loDestFile));
    try {
        L->LogMessage(nullptr, loWsockInfo, "x");
        ADD_FAILURE() << "logged without a file name";
    } catch (ELoggerException& e) {
        EXPECT_EQ(e.Message(), "File name empty");
    }
    L->SetLogFileName(TempName("no_such_dir") + "\\x.log");
    EXPECT_THROW(L->LogMessage(nullptr, loWsockInfo, "x"), rtl::EFCreateError);
    // A usable name afterwards works at once.
    L->SetLogFileName(A);
    L->LogMessage(nullptr, loWsockInfo, "ok");
    L->CloseLogFile();
    EXPECT_EQ(ReadFile(A), "ok\r\n");
}

TEST_F(LoggerTest, NothingIsLoggedWhileTheLoggerIsBeingDestroyed)
{
    struct TUser : rtl::TComponent {
        using rtl::TComponent::TComponent;
        TCxLogger* Logger = nullptr;
        void BeforeDestruction() override
        {
            Logger->LogMessage(this, loWsockInfo, "late");
            rtl::TComponent::BeforeDestruction();
        }
    };
    auto* form = rtl::Create<rtl::TComponent>(nullptr);
    auto* logger = rtl::Create<TCxLogger>(form);
    auto* user = rtl::Create<TUser>(form);
    user->Logger = logger;
    int events = 0;
    logger->SetOnCxLogEvent([&](rtl::TObject*, TLogOption, const std::string&) { ++events; });
    logger->SetLogOptions(LogOptionSet(loDestEvent));
    logger->LogMessage(nullptr, loWsockInfo, "alive");
    form->Free();  // the user goes first and logs while the logger is being destroyed
    EXPECT_EQ(events, 1);
}
