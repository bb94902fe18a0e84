#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/CalyxUnits.h"
#include "net/CalyxWinSock.h"
#include "rtl/SysUtils.h"

using namespace calyx;

namespace {

int gStartups = 0;
WORD gStartupVersion = 0;
int gCleanups = 0;
int gStartupFailure = 0;

using TStartup = int(WSAAPI*)(WORD, LPWSADATA);
using TCleanup = int(WSAAPI*)();

int WSAAPI RecordingStartup(WORD version, LPWSADATA data)
{
    ++gStartups;
    gStartupVersion = version;
    if (gStartupFailure)
        return gStartupFailure;
    auto real = ProcCast<TStartup>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "WSAStartup"));
    return real(version, data);
}

int WSAAPI RecordingCleanup()
{
    ++gCleanups;
    auto real = ProcCast<TCleanup>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "WSACleanup"));
    return real();
}

struct WinSockTest : ::testing::Test {
    void SetUp() override
    {
        StartCalyxUnits();
        gStartups = gCleanups = gStartupFailure = 0;
        gStartupVersion = 0;
        ReplaceWinsockEntry("WSAStartup", &RecordingStartup);
        ReplaceWinsockEntry("WSACleanup", &RecordingCleanup);
    }
    void TearDown() override
    {
        EXPECT_EQ(WinsockUsageCount(), 0);
        UnloadWinsock();
        for (const char* name : {"WSAStartup", "WSACleanup", "recv", "inet_ntoa", "gethostbyname"})
            SetWinsockEntry(name, nullptr);
        StopCalyxUnits();
    }
};

// Names of the DLLs this program imports at link time.
std::vector<std::string> LinkTimeImports()
{
    auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> names;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         dir.VirtualAddress && d->Name; ++d)
        names.push_back(rtl::LowerCase(reinterpret_cast<const char*>(base + d->Name)));
    return names;
}

}  // namespace

TEST_F(WinSockTest, NothingImportsWinSockAtLinkTime)
{
    std::vector<std::string> imports = LinkTimeImports();
    ASSERT_FALSE(imports.empty());
    for (const std::string& name : imports) {
        EXPECT_NE(name, "wsock32.dll");
        EXPECT_NE(name, "ws2_32.dll");
    }
}

TEST_F(WinSockTest, LoadedOnFirstUseUnloadedWithTheLastUserAndLoadedAgain)
{
    // Components that never use WinSock load nothing.
    WinsockUsageInc();
    WinsockUsageInc();
    EXPECT_FALSE(WinsockLoaded());
    EXPECT_EQ(GetModuleHandleA("wsock32.dll"), nullptr);

    SOCKET s = winsock::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(winsock::closesocket(s), 0);
    EXPECT_TRUE(WinsockLoaded());
    EXPECT_EQ(gStartups, 1);
    EXPECT_EQ(gStartupVersion, 0x0101);
    EXPECT_EQ(WinsockData().wVersion, 0x0101);
    EXPECT_EQ(winsock::htons(0x1234), 0x3412);
    EXPECT_EQ(gStartups, 1);

    // WSAIoctl comes from the second library, after the first was started.
    DWORD returned = 0;
    u_long in = 1;
    EXPECT_EQ(winsock::WSAIoctl(INVALID_SOCKET, 0x98000001, &in, sizeof in, nullptr, 0, &returned,
                                nullptr, nullptr),
              SOCKET_ERROR);
    EXPECT_NE(GetModuleHandleA("ws2_32.dll"), nullptr);

    // Version changes are refused while loaded; the same value is accepted.
    EXPECT_FALSE(SetWinsockReqVerLow(2));
    EXPECT_TRUE(SetWinsockReqVerHigh(1));

    WinsockUsageRelease();
    EXPECT_TRUE(WinsockLoaded());
    UnloadWinsock();  // still used by one
    EXPECT_TRUE(WinsockLoaded());
    WinsockUsageRelease();
    EXPECT_FALSE(WinsockLoaded());
    EXPECT_EQ(gCleanups, 1);

    // A later use loads and starts everything again.
    WinsockUsageInc();
    EXPECT_EQ(winsock::ntohs(0x3412), 0x1234);
    EXPECT_TRUE(WinsockLoaded());
    EXPECT_EQ(gStartups, 2);
    WinsockUsageRelease();
    EXPECT_EQ(gCleanups, 2);
}

TEST_F(WinSockTest, MissingExportsNameTheLibraryAndTheSystemError)
{
    const std::string reason = rtl::SysErrorMessage(127) + " (#127)";
    try {
        LoadWinsock("NoSuchFn");
        ADD_FAILURE() << "resolved a missing export";
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "Procedure NoSuchFn not found in wsock32.dll - " + reason);
    }
    try {
        LoadWinsock2("NoSuchFn");
        ADD_FAILURE() << "resolved a missing export";
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "Procedure NoSuchFn not found in ws2_32.dll - " + reason);
    }
    EXPECT_EQ(gStartups, 1);
}

TEST_F(WinSockTest, FailedStartupLeavesNothingLoadedAndIsReportedAgain)
{
    gStartupFailure = WSAVERNOTSUPPORTED;
    const std::string expected = "Winsock startup error wsock32.dll - " + FormatOsError(WSAVERNOTSUPPORTED);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        try {
            winsock::htons(1);
            ADD_FAILURE() << "call ran against an unstarted library";
        } catch (ESocketException& e) {
            EXPECT_EQ(e.Message(), expected);
        }
        EXPECT_FALSE(WinsockLoaded());
        EXPECT_EQ(gStartups, attempt);
    }
    gStartupFailure = 0;
    EXPECT_EQ(winsock::htons(1), 0x0100);
    EXPECT_EQ(gStartups, 3);
    EXPECT_EQ(gCleanups, 0);
}

namespace {
int gRecvUsage = -1;
bool gLoadedDuringRecv = false;
int WSAAPI UnloadingRecv(SOCKET, char*, int, int)
{
    gRecvUsage = WinsockUsageCount();
    UnloadWinsock();  // as another thread might, in the middle of the call
    gLoadedDuringRecv = WinsockLoaded();
    return 0;
}
char* WSAAPI NoText(struct in_addr)
{
    return nullptr;
}
struct hostent* WSAAPI NoHost(const char*)
{
    return nullptr;
}
}  // namespace

TEST_F(WinSockTest, CountedCallsKeepTheLibraryForTheirDuration)
{
    LoadWinsock("");
    ReplaceWinsockEntry("recv", &UnloadingRecv);
    char byte;
    EXPECT_EQ(XSocket_recv(INVALID_SOCKET, &byte, 1, 0), 0);
    EXPECT_EQ(gRecvUsage, 1);
    EXPECT_TRUE(gLoadedDuringRecv);
    EXPECT_EQ(WinsockUsageCount(), 0);

    ReplaceWinsockEntry("inet_ntoa", &NoText);
    in_addr a;
    a.s_addr = 0x0100007F;
    EXPECT_EQ(XSocket_inet_ntoa(a), "");
    SetWinsockEntry("inet_ntoa", nullptr);
    EXPECT_EQ(XSocket_inet_ntoa(a), "127.0.0.1");
}

TEST_F(WinSockTest, ReplacedEntriesAreCalledWithoutLoading)
{
    ReplaceWinsockEntry("gethostbyname", &NoHost);
    EXPECT_EQ(winsock::gethostbyname("localhost"), nullptr);
    EXPECT_FALSE(WinsockLoaded());
    EXPECT_THROW(SetWinsockEntry("NoSuchFn", nullptr), ESocketException);
}

TEST(WinSockTextTest, IsDottedIP)
{
    struct Case {
        const char* text;
        bool dotted;
    } cases[] = {
        {"192.168.0.1", true},   {"  10.0.0.1  ", true},  {"0.0.0.0", true},
        {"255.255.255.255", true}, {"1.2.3", false},      {"1.2.3.4.5", false},
        {"256.1.1.1", false},    {"1.2.3.256", false},    {".1.2.3", false},
        {"1..2.3", false},       {"1.2.3.4.", false},     {"1.2.3.4a", false},
        {"1.2.3.4 5", false},    {"", false},             {"4294967297.1.1.1", false},
        {"1.2.3.4294967297", false}, {"300.1.1.1", false}, {"localhost", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsDottedIP(c.text), c.dotted) << '"' << c.text << '"';
}

TEST(WinSockTextTest, ErrorTexts)
{
    EXPECT_EQ(XSocketErrorDesc(10061), "Connection refused");
    EXPECT_EQ(XSocketErrorDesc(0), "No Error");
    EXPECT_EQ(XSocketErrorDesc(11004), "No Data");
    EXPECT_EQ(XSocketErrorDesc(12345), "Not a WinSock error");
    EXPECT_EQ(FormatWinsockError(10057), "Socket is not connected (#10057)");
    EXPECT_EQ(FormatOsError(2), rtl::SysErrorMessage(2) + " (#2)");
    EXPECT_TRUE(IsDigit('0') && IsDigit('9') && !IsDigit('a') && !IsDigit(' '));
}
