// Lookups: only "localhost" and numeric text reach WinSock; every other case
// runs against replaced lookup entries, so nothing leaves the machine.
#include <algorithm>
#include <cstring>

#include "XSocketFixture.h"

using namespace xstest;

namespace {

// What the replaced asynchronous lookups were asked.
struct TLookupCall {
    HWND Wnd = nullptr;
    UINT Msg = 0;
    char* Area = nullptr;
    int Size = 0;
    HANDLE Request = nullptr;
};
TLookupCall gCall;
int gNextRequest = 0x100;
bool gReplyAtOnce = false;
int gCancels = 0;

// Lays out a host entry in WinSock's manner inside the caller's area.
void WriteHostEntry(char* area, const char* name, const char* alias, u_long addr)
{
    auto* h = reinterpret_cast<hostent*>(area);
    char** aliases = reinterpret_cast<char**>(area + sizeof(hostent));
    char** addrs = aliases + 2;
    char* addrBytes = reinterpret_cast<char*>(addrs + 2);
    char* text = addrBytes + 4;
    std::memcpy(addrBytes, &addr, 4);
    std::strcpy(text, name);
    char* aliasText = text + std::strlen(name) + 1;
    std::strcpy(aliasText, alias);
    h->h_name = text;
    aliases[0] = aliasText;
    aliases[1] = nullptr;
    h->h_aliases = aliases;
    h->h_addrtype = AF_INET;
    h->h_length = 4;
    addrs[0] = addrBytes;
    addrs[1] = nullptr;
    h->h_addr_list = addrs;
}

HANDLE WSAAPI FakeByName(HWND wnd, u_int msg, const char*, char* buf, int len)
{
    gCall = {wnd, msg, buf, len, HANDLE(gNextRequest++)};
    if (gReplyAtOnce) {
        WriteHostEntry(buf, "h", "a", winsock::inet_addr("127.0.0.9"));
        SendMessageA(wnd, msg, WPARAM(gCall.Request), 0);
    }
    return gCall.Request;
}

HANDLE WSAAPI FakeByAddr(HWND wnd, u_int msg, const char*, int, int, char* buf, int len)
{
    gCall = {wnd, msg, buf, len, HANDLE(gNextRequest++)};
    return gCall.Request;
}

HANDLE WSAAPI FailingStart(HWND, u_int, const char*, char*, int)
{
    winsock::WSASetLastError(WSAENOBUFS);
    return nullptr;
}

int WSAAPI FakeCancel(HANDLE)
{
    ++gCancels;
    return 0;
}

void Reply(WORD error)
{
    PostMessageA(gCall.Wnd, gCall.Msg, WPARAM(gCall.Request), MAKELONG(0, error));
}

struct XSocketDnsTest : XSocketTest {
    void SetUp() override
    {
        XSocketTest::SetUp();
        gCall = {};
        gReplyAtOnce = false;
        gCancels = 0;
    }
    void TearDown() override
    {
        for (const char* name :
             {"WSAAsyncGetHostByName", "WSAAsyncGetHostByAddr", "WSACancelAsyncRequest"})
            SetWinsockEntry(name, nullptr);
        XSocketTest::TearDown();
    }
    TCustomXSocket* Resolver()
    {
        TCustomXSocket* s = MakeSocket("dns");
        s->OnDnsLookupDone = [this](rtl::TObject*, WORD e) {
            Log.push_back("done:" + std::to_string(e));
        };
        return s;
    }
    void Fake()
    {
        ReplaceWinsockEntry("WSAAsyncGetHostByName", &FakeByName);
        ReplaceWinsockEntry("WSAAsyncGetHostByAddr", &FakeByAddr);
        ReplaceWinsockEntry("WSACancelAsyncRequest", &FakeCancel);
    }
};

}  // namespace

TEST_F(XSocketDnsTest, NumericTextCompletesAtOnceAndLocalhostResolves)
{
    TCustomXSocket* s = Resolver();
    s->DnsLookup("10.0.0.1");
    EXPECT_EQ(Log, (std::vector<std::string>{"done:0"}));
    EXPECT_EQ(s->DnsResult(), "10.0.0.1");
    EXPECT_EQ(s->DnsResultList().size(), 1u);
    EXPECT_FALSE(s->DnsLookupPending());

    Log.clear();
    s->DnsLookup("localhost");
    EXPECT_TRUE(Log.empty());
    ASSERT_TRUE(WaitFor([&] { return !Log.empty(); }));
    EXPECT_EQ(Log, (std::vector<std::string>{"done:0"}));
    EXPECT_EQ(s->DnsResult(), "127.0.0.1");
    EXPECT_EQ(s->DnsResultList().front(), "127.0.0.1");
}

TEST_F(XSocketDnsTest, RepliesFailuresAndAnEarlyReply)
{
    Fake();
    TCustomXSocket* s = Resolver();
    // 255.255.255.255 is a dotted quad but no address to answer at once.
    s->DnsLookup("255.255.255.255");
    EXPECT_TRUE(s->DnsLookupPending());
    WriteHostEntry(gCall.Area, "h", "a", winsock::inet_addr("127.0.0.7"));
    Reply(0);
    ASSERT_TRUE(WaitFor([&] { return !Log.empty(); }));
    EXPECT_EQ(s->DnsResult(), "127.0.0.7");

    Log.clear();
    s->DnsLookup("no.such.host");
    Reply(11001);
    ASSERT_TRUE(WaitFor([&] { return !Log.empty(); }));
    EXPECT_EQ(Log, (std::vector<std::string>{"done:11001"}));
    EXPECT_TRUE(s->DnsResultList().empty());

    // The reply overtakes the return of the start: handled once, after it.
    Log.clear();
    gReplyAtOnce = true;
    s->DnsLookup("early.host");
    EXPECT_EQ(Log, (std::vector<std::string>{"done:0"}));
    EXPECT_EQ(s->DnsResult(), "127.0.0.9");
    Settle();
    EXPECT_EQ(Log.size(), 1u);

    ReplaceWinsockEntry("WSAAsyncGetHostByName", &FailingStart);
    try {
        s->DnsLookup("x.host");
        ADD_FAILURE();
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "x.host: can't start DNS lookup - No buffer space available (#10055)");
    }
}

TEST_F(XSocketDnsTest, ReplacedAndCancelledLookupsKeepTheirAreaUntilTheReply)
{
    Fake();
    TCustomXSocket* s = Resolver();
    const int orphansBefore = CxOrphanLookupCount();
    s->DnsLookup("first.host");
    const TLookupCall first = gCall;
    s->DnsLookup("second.host");  // replaces the first without an event
    EXPECT_EQ(gCancels, 1);
    EXPECT_EQ(CxOrphanLookupCount(), orphansBefore + 1);
    // The cancelled lookup still writes its area and replies.
    WriteHostEntry(first.Area, "h", "a", winsock::inet_addr("127.0.0.1"));
    PostMessageA(first.Wnd, first.Msg, WPARAM(first.Request), 0);
    Settle();
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(CxOrphanLookupCount(), orphansBefore);

    s->CancelDnsLookup();
    EXPECT_EQ(Log, (std::vector<std::string>{"done:10004"}));

    // Destroyed with a lookup running: no event, and the area stays valid
    // for the lookup that may still write it.
    Log.clear();
    TCustomXSocket* doomed = Resolver();
    doomed->DnsLookup("third.host");
    const TLookupCall third = gCall;
    Sockets.erase(std::find(Sockets.begin(), Sockets.end(), doomed));
    doomed->Free();
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(CxOrphanLookupCount(), orphansBefore + 2);
    WriteHostEntry(third.Area, "h", "a", winsock::inet_addr("127.0.0.1"));
}

TEST_F(XSocketDnsTest, ReverseLookupsAcceptOnlyAddresses)
{
    Fake();
    TCustomXSocket* s = Resolver();
    s->OnError = [this](rtl::TObject*) { Log.push_back("error"); };
    for (const char* bad : {"", "not-an-address", "1.2.3"}) {
        SCOPED_TRACE(bad);
        Log.clear();
        s->ReverseDnsLookup(bad);
        EXPECT_EQ(Log, (std::vector<std::string>{"error", "done:10022"}));
        Log.clear();
        s->ReverseDnsLookupSync(bad);
        EXPECT_EQ(Log, (std::vector<std::string>{"error", "done:10022"}));
    }
    EXPECT_EQ(gCall.Request, nullptr);

    s->OnError = nullptr;
    try {
        s->ReverseDnsLookupSync("");
        ADD_FAILURE();
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "Reverse DNS Lookup: Invalid host name.");
    }

    Log.clear();
    s->ReverseDnsLookup("127.0.0.1");
    ASSERT_NE(gCall.Request, nullptr);
    WriteHostEntry(gCall.Area, "hostname", "alias", winsock::inet_addr("127.0.0.1"));
    Reply(0);
    ASSERT_TRUE(WaitFor([&] { return !Log.empty(); }));
    EXPECT_EQ(s->DnsResult(), "hostname");
    EXPECT_EQ(s->DnsResultList(), (std::vector<std::string>{"hostname", "alias"}));
}

// A real lookup whose component is freed before the reply: the reply reaches
// nobody (any use of the freed one faults, TGuarded), the area WinSock writes
// is kept until then, and a newcomer on the same message ids is not disturbed.
TEST_F(XSocketDnsTest, ALookupOfLocalhostPendingWhileItsComponentIsFreed)
{
    const int orphansBefore = CxOrphanLookupCount();
    TCustomSslXSocket* keeper = MakeSocket("keeper");  // holds the window open
    keeper->Handle();
    auto* doomed = rtl::Create<TGuarded<TCustomSslXSocket>>(nullptr);
    doomed->OnDnsLookupDone = [this](rtl::TObject*, WORD e) {
        Log.push_back("doomed:" + std::to_string(e));
    };
    doomed->DnsLookup("localhost");
    ASSERT_TRUE(doomed->DnsLookupPending());
    doomed->Free();

    TCustomXSocket* next = Resolver();
    next->DnsLookup("localhost");
    ASSERT_TRUE(WaitFor([&] { return !Log.empty(); }));
    Settle();
    EXPECT_EQ(Log, (std::vector<std::string>{"done:0"}));
    EXPECT_EQ(next->DnsResult(), "127.0.0.1");
    EXPECT_TRUE(WaitFor([&] { return CxOrphanLookupCount() == orphansBefore; }));
}
