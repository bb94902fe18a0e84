// Texts and severities of every served code, through the provider object of
// the built server, with payloads built byte by byte.
#include "ByteRecord.h"
#include "GuardedBuffer.h"
#include "ServerModule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quelstd_test;

namespace {

const std::string kLogPipe = "\\\\.\\pipe\\vororado_log_server";
const std::wstring kLogPipeText = L"\\\\.\\pipe\\vororado_log_server";

Bytes Loopback50001() { return Ipv4Record(kTcp, 0x7F000001, 50001); }
Bytes WordThen(uint32_t word, const Bytes& record) { return Bytes().U32(word).Append(record); }

struct Reply {
    HRESULT hr;
    QUEL_MESSAGE_TYPE type;
    std::wstring text;
    bool hasText;
};

struct TextCase {
    const char* name;
    long code;
    Bytes payload;
    QUEL_MESSAGE_TYPE type;
    std::wstring text;
};

class ProviderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.loaded());
        provider_ = win32::ComPtr<IQuelMessageProvider>::Adopt(server_.CreateProvider());
        ASSERT_TRUE(provider_);
    }
    void TearDown() override
    {
        provider_.reset();
    }

    Reply Ask(long code, const void* data, long size)
    {
        QUEL_MESSAGE_TYPE type = static_cast<QUEL_MESSAGE_TYPE>(-1);
        BSTR text = nullptr;
        HRESULT hr = provider_->GetMessage(code, const_cast<void*>(data), size, &type, &text);
        Reply reply{hr, type, text != nullptr ? std::wstring(text, SysStringLen(text)) : L"", text != nullptr};
        SysFreeString(text);
        return reply;
    }
    // The payload sits right before an inaccessible page.
    Reply AskGuarded(long code, const Bytes& payload)
    {
        GuardedBuffer buffer(payload.bytes());
        EXPECT_TRUE(buffer.valid());
        return Ask(code, buffer.data(), payload.size());
    }

    // Every case's payload placed right before an inaccessible page.
    void ExpectCases(const std::vector<TextCase>& cases)
    {
        for (const TextCase& c : cases) {
            SCOPED_TRACE(c.name);
            Reply reply = AskGuarded(c.code, c.payload);
            EXPECT_EQ(reply.hr, S_OK);
            EXPECT_EQ(reply.type, c.type);
            EXPECT_TRUE(reply.hasText);
            EXPECT_EQ(reply.text, c.text);
        }
    }

    ServerModule server_;
    win32::ComPtr<IQuelMessageProvider> provider_;
};

}  // namespace

class MessageTextTest : public ProviderTest {};

TEST_F(MessageTextTest, EveryServedCodeGivesItsSeverityAndText)
{
    const std::vector<TextCase> cases = {
        {"device opened", 1, Bytes(), QUEL_MSG_INFO, L"Device opened"},
        {"device closed", 2, Bytes(), QUEL_MSG_INFO, L"Device closed"},
        {"connect ok", 3, WordThen(0, Loopback50001()), QUEL_MSG_INFO,
         L"Established TCP connection with 127.0.0.1:50001"},
        {"connect refused", 3, WordThen(0xC0000236, Loopback50001()), QUEL_MSG_ERROR,
         L"Unable to establish TCP connection with 127.0.0.1:50001 (connection refused)"},
        {"pending is a failure", 3, WordThen(0x103, Loopback50001()), QUEL_MSG_ERROR,
         L"Unable to establish TCP connection with 127.0.0.1:50001 (pending)"},
        {"status fallback", 3, WordThen(1, Loopback50001()), QUEL_MSG_ERROR,
         L"Unable to establish TCP connection with 127.0.0.1:50001 (error: 1/00000001)"},
        {"negative status fallback", 3, WordThen(0xC0000005, Loopback50001()), QUEL_MSG_ERROR,
         L"Unable to establish TCP connection with 127.0.0.1:50001 (error: -1073741819/c0000005)"},
        {"accepted udp", 4, Ipv4Record(kUdp, 0x0A010203, 53), QUEL_MSG_INFO,
         L"Accepted UDP connection from 10.1.2.3:53"},
        {"closed locally", 5, WordThen(0, Loopback50001()), QUEL_MSG_INFO,
         L"TCP connection with 127.0.0.1:50001 closed"},
        {"closed by remote", 5, WordThen(1, Loopback50001()), QUEL_MSG_INFO,
         L"Remote node 127.0.0.1:50001 closed TCP connection"},
        {"closed on time-out", 5, WordThen(2, Loopback50001()), QUEL_MSG_INFO,
         L"TCP connection with 127.0.0.1:50001 closed (timed out)"},
        {"remote wins over time-out", 5, WordThen(3, Loopback50001()), QUEL_MSG_INFO,
         L"Remote node 127.0.0.1:50001 closed TCP connection"},
        {"log service connected", 6, WordThen(0, AnsiPipeRecord(kLogPipe)), QUEL_MSG_INFO,
         L"Monitor has established PIPE connection with Pelko Log Service at " + kLogPipeText},
        {"log service missing", 6, WordThen(0xC0000034, AnsiPipeRecord(kLogPipe)), QUEL_MSG_ERROR,
         L"Unable to establish PIPE connection with Pelko Log Service at " + kLogPipeText + L" (object not found)"},
        {"raw system error", 6, WordThen(2, AnsiPipeRecord(kLogPipe)), QUEL_MSG_ERROR,
         L"Unable to establish PIPE connection with Pelko Log Service at " + kLogPipeText + L" (error: 2/00000002)"},
        {"log service accepted", 7, Loopback50001(), QUEL_MSG_INFO,
         L"Monitor has accepted TCP connection from Pelko Log Service at 127.0.0.1:50001"},
        {"listening", 11, WordThen(0, Ipv4Record(kTcp, 0, 1001)), QUEL_MSG_INFO, L"Listening on TCP port 1001"},
        {"listen failed", 11, WordThen(0xC0000043, Ipv4Record(kTcp, 0, 1001)), QUEL_MSG_ERROR,
         L"Unable to open TCP port 1001 (address is in use)"},
        {"resolve name", 12, Bytes().Ansi("localhost").U8(0), QUEL_MSG_INFO, L"Resolving host by name localhost..."},
        {"name ends at its first NUL", 12, Bytes().Ansi("ab").U8(0).Ansi("cd").U8(0), QUEL_MSG_INFO,
         L"Resolving host by name ab..."},
        {"mac", 13, Bytes().U8(0x00).U8(0x11).U8(0x22).U8(0x33).U8(0x44).U8(0x55), QUEL_MSG_INFO,
         L"Resolving host by MAC-address 0.17.34.51.68.85..."},
        {"mac bytes are unsigned", 13, Bytes().U8(0xFF).U8(0x80).U8(1).U8(2).U8(3).U8(4), QUEL_MSG_INFO,
         L"Resolving host by MAC-address 255.128.1.2.3.4..."},
        {"resolved", 14, Bytes().U32(0).U32(0xC0A80001), QUEL_MSG_INFO, L"Host successfully resolved to 192.168.0.1"},
        {"resolve failed", 14, Bytes().U32(0xC00000B5).U32(0), QUEL_MSG_ERROR, L"Unable to resolve host (timed out)"},
    };
    ExpectCases(cases);
}

TEST_F(MessageTextTest, LostLogServiceLinkLooksAtFlagBitZeroOnly)
{
    const std::wstring lost =
        L"TCP connection with Pelko Log Service at 127.0.0.1:50001 was lost, trying to reconnect...";
    const std::wstring closed = L"Monitor has closed TCP connection with Pelko Log Service at 127.0.0.1:50001";
    const struct {
        uint32_t flags;
        const std::wstring& text;
    } cases[] = {{1, lost}, {17, lost}, {3, lost}, {0, closed}, {16, closed}, {18, closed}, {2, closed}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        Reply reply = AskGuarded(8, WordThen(c.flags, Loopback50001()));
        EXPECT_EQ(reply.type, QUEL_MSG_INFO);
        EXPECT_EQ(reply.text, c.text);
    }
}

TEST_F(MessageTextTest, EndpointTextsOfEveryRecordKind)
{
    const std::wstring utf16Pipe = L"\\\\.\\pipe\\\x0444\x0430\x0439\x043B";
    Bytes withExtra = Bytes()
                          .U32(12 + 6 + 4)
                          .U32(kPipe)
                          .U32(18 << 1)  // extra data at offset 18
                          .Ansi("\\\\.\\p")
                          .U8(0)
                          .U32(0x55555555);
    const std::vector<TextCase> cases = {
        {"ansi pipe name as stored", 4, AnsiPipeRecord(kLogPipe), QUEL_MSG_INFO,
         L"Accepted PIPE connection from " + kLogPipeText},
        {"utf-16 pipe name", 4, WidePipeRecord(utf16Pipe), QUEL_MSG_INFO,
         L"Accepted PIPE connection from " + utf16Pipe},
        {"pipe name stops at the extra data", 4, withExtra, QUEL_MSG_INFO, L"Accepted PIPE connection from \\\\.\\p"},
        {"extra data where the name would start", 4, Bytes().U32(16).U32(kPipe).U32(12 << 1).Ansi("SD!").U8(0),
         QUEL_MSG_INFO, L"Accepted PIPE connection from "},
        {"extra offset inside the header", 4, Bytes().U32(16).U32(kPipe).U32(4 << 1).Ansi("SD!").U8(0), QUEL_MSG_INFO,
         L"Accepted PIPE connection from "},
        {"default local tcp record", 4, Bytes().U32(8).U32(kTcp), QUEL_MSG_INFO,
         L"Accepted TCP connection from 0.0.0.0:0"},
        {"ipv4 record without its port", 4, Bytes().U32(12).U32(kTcp).U32(0x7F000001), QUEL_MSG_INFO,
         L"Accepted TCP connection from 0.0.0.0:0"},
        {"unknown family", 4, Bytes().U32(12).U32(0x00060117).U32(0), QUEL_MSG_INFO,
         L"Accepted (unknown protocol) connection from (unknown address)"},
        {"ipv4 family with an unknown protocol", 4, Ipv4Record(0x00000102, 0x7F000001, 7), QUEL_MSG_INFO,
         L"Accepted (unknown protocol) connection from 127.0.0.1:7"},
    };
    ExpectCases(cases);
}

TEST_F(MessageTextTest, MalformedPayloadsNeverReadPastTheirEnd)
{
    const std::vector<TextCase> cases = {
        {"connect, empty", 3, Bytes(), QUEL_MSG_INFO,
         L"Established (unknown protocol) connection with (unknown address)"},
        {"connect, status only", 3, Bytes().U32(0xC0000236), QUEL_MSG_ERROR,
         L"Unable to establish (unknown protocol) connection with (unknown address) "
         L"(connection refused)"},
        {"connect, half a status", 3, Bytes().U16(0x0236), QUEL_MSG_ERROR,
         L"Unable to establish (unknown protocol) connection with (unknown address) "
         L"(error: 566/00000236)"},
        {"connect, record cut after its address", 3, Bytes().U32(0xC0000236).U32(14).U32(kTcp).U32(0x7F000001),
         QUEL_MSG_ERROR, L"Unable to establish TCP connection with 0.0.0.0:0 (connection refused)"},
        {"log service, record size below its type word", 6, Bytes().U32(0).U32(4).U32(kTcp).U32(0x7F000001).U16(1),
         QUEL_MSG_INFO,
         L"Monitor has established (unknown protocol) connection with Pelko Log Service at "
         L"(unknown address)"},
        {"accepted, size field beyond the payload, name without NUL", 4,
         Bytes().U32(0xFFFFFFFF).U32(kPipe).U32(0).Ansi("\\\\.\\pipe\\x"), QUEL_MSG_INFO,
         L"Accepted PIPE connection from \\\\.\\pipe\\x"},
        {"accepted, utf-16 name cut inside a unit", 4, Bytes().U32(100).U32(kPipe).U32(1).Wide(L"ab").U8('c'),
         QUEL_MSG_INFO, L"Accepted PIPE connection from ab"},
        {"accepted, extra offset beyond the payload", 4, Bytes().U32(40).U32(kPipe).U32(500 << 1).Ansi("pp"),
         QUEL_MSG_INFO, L"Accepted PIPE connection from pp"},
        {"accepted, pipe record without its flags", 4, Bytes().U32(12).U32(kPipe).U16(0), QUEL_MSG_INFO,
         L"Accepted PIPE connection from (unknown address)"},
        {"accepted, part of a type word", 4, Bytes().U32(14).U16(0x0102), QUEL_MSG_INFO,
         L"Accepted (unknown protocol) connection from (unknown address)"},
        {"log service accepted, empty", 7, Bytes(), QUEL_MSG_INFO,
         L"Monitor has accepted (unknown protocol) connection from Pelko Log Service at "
         L"(unknown address)"},
        {"closed, flags only", 5, Bytes().U32(2), QUEL_MSG_INFO,
         L"(unknown protocol) connection with (unknown address) closed (timed out)"},
        {"log service closed, half a flags word", 8, Bytes().U16(1), QUEL_MSG_INFO,
         L"(unknown protocol) connection with Pelko Log Service at (unknown address) was lost, "
         L"trying to reconnect..."},
        {"listen, record without its port", 11, Bytes().U32(0).U32(12).U32(kTcp).U32(0), QUEL_MSG_INFO,
         L"Listening on TCP port 0"},
        {"resolve name without NUL", 12, Bytes().Ansi("hosta"), QUEL_MSG_INFO, L"Resolving host by name hosta..."},
        {"resolve name, empty", 12, Bytes(), QUEL_MSG_INFO, L"Resolving host by name ..."},
        {"mac, three bytes", 13, Bytes().U8(1).U8(2).U8(3), QUEL_MSG_INFO,
         L"Resolving host by MAC-address 1.2.3.0.0.0..."},
        {"resolved, half an address", 14, Bytes().U32(0).U16(0x0201), QUEL_MSG_INFO,
         L"Host successfully resolved to 0.0.2.1"},
    };
    ExpectCases(cases);
}

TEST_F(MessageTextTest, ResolveByNameIgnoresNonPositiveSizesAndNullData)
{
    const char name[] = "localhost";
    for (long size : {0L, -1L, -1000L}) {
        SCOPED_TRACE(size);
        Reply reply = Ask(12, name, size);
        EXPECT_EQ(reply.hr, S_OK);
        EXPECT_EQ(reply.text, L"Resolving host by name ...");
    }
    Reply reply = Ask(3, nullptr, 100);
    EXPECT_EQ(reply.hr, S_OK);
    EXPECT_EQ(reply.text, L"Established (unknown protocol) connection with (unknown address)");
}

TEST_F(MessageTextTest, TextsAreCutAt260CharactersExceptTheTimeOutSuffix)
{
    const std::string longName(300, 'a');
    const std::wstring longWide(300, L'a');

    Reply name = AskGuarded(12, Bytes().Ansi(longName));
    EXPECT_EQ(name.text, (L"Resolving host by name " + longWide).substr(0, 260));

    const std::string longPipe = "\\\\.\\pipe\\" + longName;
    const std::wstring longPipeText = L"\\\\.\\pipe\\" + longWide;
    Reply connect = AskGuarded(3, WordThen(0xC0000236, AnsiPipeRecord(longPipe)));
    EXPECT_EQ(connect.text, (L"Unable to establish PIPE connection with " + longPipeText).substr(0, 260));

    Reply timedOut = AskGuarded(5, WordThen(2, AnsiPipeRecord(longPipe)));
    std::wstring cut = (L"PIPE connection with " + longPipeText).substr(0, 260);
    EXPECT_EQ(timedOut.text, cut + L" (timed out)");
    EXPECT_EQ(timedOut.text.size(), 272u);

    // Exactly at the limit nothing is lost.
    std::string fits(260 - 23, 'b');
    Reply exact = AskGuarded(12, Bytes().Ansi(fits).U8(0));
    EXPECT_EQ(exact.text, L"Resolving host by name " + std::wstring(fits.begin(), fits.end()));
}

// The interface rules of the object.
class ProviderRulesTest : public ProviderTest {};

TEST_F(ProviderRulesTest, RangeIsOneToFourteenAndRefusesMissingPointers)
{
    long from = -7, to = -7;
    EXPECT_EQ(provider_->GetMessageRange(nullptr, &to), E_POINTER);
    EXPECT_EQ(provider_->GetMessageRange(&from, nullptr), E_POINTER);
    EXPECT_EQ(from, -7);
    EXPECT_EQ(to, -7);
    EXPECT_EQ(provider_->GetMessageRange(&from, &to), S_OK);
    EXPECT_EQ(from, 1);
    EXPECT_EQ(to, 14);
}

TEST_F(ProviderRulesTest, UnservedCodesAndMissingPointersLeaveOutputsUntouched)
{
    BSTR sentinel = reinterpret_cast<BSTR>(0x1234);
    for (long code : {0L, 9L, 10L, 15L, -1L, static_cast<long>(0x80000000), 0x7FFFFFFFL}) {
        SCOPED_TRACE(code);
        QUEL_MESSAGE_TYPE type = static_cast<QUEL_MESSAGE_TYPE>(77);
        BSTR text = sentinel;
        EXPECT_EQ(provider_->GetMessage(code, nullptr, 0, &type, &text), static_cast<HRESULT>(0x80070002));
        EXPECT_EQ(type, 77);
        EXPECT_EQ(text, sentinel);
    }
    QUEL_MESSAGE_TYPE type = static_cast<QUEL_MESSAGE_TYPE>(77);
    BSTR text = sentinel;
    EXPECT_EQ(provider_->GetMessage(1, nullptr, 0, &type, nullptr), E_POINTER);
    EXPECT_EQ(type, 77);
    EXPECT_EQ(provider_->GetMessage(1, nullptr, 0, nullptr, &text), E_POINTER);
    EXPECT_EQ(text, sentinel);
}

TEST_F(ProviderRulesTest, QueryInterfaceGivesOnePointerForBothInterfaces)
{
    IUnknown* unknown = nullptr;
    ASSERT_EQ(provider_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(provider_.get()));
    unknown->Release();

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(provider_->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
}

TEST(ServerModuleTest, ClassObjectRefusesAggregationAndForeignClasses)
{
    ServerModule server;
    ASSERT_TRUE(server.loaded());
    IUnknown* outer = reinterpret_cast<IUnknown*>(0x1000);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(server.factory()->CreateInstance(outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);

    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(server.factory()->CreateInstance(nullptr, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(server.CanUnloadNow(), S_OK) << "the object of a failed query must be gone";

    void* factory = reinterpret_cast<void*>(1);
    EXPECT_EQ(server.GetClassObject(IID_IDispatch, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
}

TEST(ServerModuleTest, CanUnloadOnlyWithoutLiveObjectsOrServerLocks)
{
    ServerModule server;
    ASSERT_TRUE(server.loaded());
    EXPECT_EQ(server.CanUnloadNow(), S_OK);

    IQuelMessageProvider* first = server.CreateProvider();
    IQuelMessageProvider* second = server.CreateProvider();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    first->Release();
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    second->Release();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);

    EXPECT_EQ(server.factory()->LockServer(TRUE), S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(server.factory()->LockServer(FALSE), S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}
