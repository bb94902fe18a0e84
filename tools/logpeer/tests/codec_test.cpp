// Frames, opening requests, the subscription rules and the record builders, byte by byte.
#include <gtest/gtest.h>

#include "Frame.h"
#include "OpeningRequest.h"
#include "Records.h"

using namespace logpeer;

namespace {

Bytes B(std::initializer_list<int> v)
{
    Bytes b;
    for (int x : v)
        b.push_back(static_cast<uint8_t>(x));
    return b;
}

}  // namespace

// Worked example: the header of a 4-byte payload is 4D 53 47 2E 04 00, then the checksum.
// Little-endian words 0x534D + 0x2E47 + 0x0004 + 0x0000 = 0x8198, no carry; ~0x8198 = 0x7E67,
// stored low byte first: 67 7E.
// Length 0xFFFF: 0x8194 + 0xFFFF = 0x18193, folded 0x8193 + 1 = 0x8194, ~ = 0x7E6B -- the same
// as length 0, since 0xFFFF is zero in ones' complement.
TEST(FrameTest, HeaderChecksumMatchesHandComputedValues)
{
    EXPECT_EQ(FrameHeader(4), B({0x4D, 0x53, 0x47, 0x2E, 0x04, 0x00, 0x67, 0x7E}));
    EXPECT_EQ(FrameHeader(0), B({0x4D, 0x53, 0x47, 0x2E, 0x00, 0x00, 0x6B, 0x7E}));
    EXPECT_EQ(FrameHeader(0xFFFF), B({0x4D, 0x53, 0x47, 0x2E, 0xFF, 0xFF, 0x6B, 0x7E}));
    // 0x0201 + 0x03 (odd trailing byte as a value) = 0x0204; ~ = 0xFDFB.
    const uint8_t odd[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(InternetChecksum(odd, 3), 0xFDFB);
    // A header with its checksum filled in sums to zero.
    Bytes h = FrameHeader(1234);
    EXPECT_EQ(InternetChecksum(h.data(), h.size()), 0);
}

TEST(FrameTest, BuildFrameCoversHeaderOnlyAndRefusesOversizedPayloads)
{
    Bytes frame = BuildFrame(B({1, 2, 3, 4}));
    EXPECT_EQ(frame, B({0x4D, 0x53, 0x47, 0x2E, 0x04, 0x00, 0x67, 0x7E, 1, 2, 3, 4}));
    EXPECT_EQ(BuildFrame(Bytes(65535, 0xAA)).size(), 8u + 65535);
    EXPECT_THROW(BuildFrame(Bytes(65536)), std::length_error);
}

TEST(FrameDecoderTest, ResynchronisesAfterGarbageFalseStartsAndBadHeaders)
{
    Bytes first = BuildFrame(B({9, 8, 7}));
    Bytes bad = BuildFrame(B({5, 5}));
    bad[6] ^= 0x01;  // one bit off in the checksum
    Bytes second = BuildFrame(B({}));
    Bytes third = BuildFrame(B({'M', 'S', 'G'}));

    Bytes stream = B({0x00, 0x4D, 0x4D, 0x53, 0x00});  // garbage and a false start
    PutBytes(stream, first);
    PutBytes(stream, Bytes(bad.begin(), bad.begin() + 8));  // the bad header is dropped whole
    PutBytes(stream, second);
    PutBytes(stream, third);

    // Fed one byte at a time and all at once: the same frames.
    for (size_t step : {size_t(1), stream.size()}) {
        FrameDecoder decoder;
        std::vector<Bytes> frames;
        for (size_t i = 0; i < stream.size(); i += step)
            decoder.Feed(stream.data() + i, std::min(step, stream.size() - i), frames);
        ASSERT_EQ(frames.size(), 3u) << "step " << step;
        EXPECT_EQ(frames[0], B({9, 8, 7}));
        EXPECT_TRUE(frames[1].empty());
        EXPECT_EQ(frames[2], B({'M', 'S', 'G'}));
        EXPECT_EQ(decoder.badHeaders(), 1u);
    }
}

TEST(OpeningRequestTest, ParsesWhatMonitorsSendAndRejectsTheRest)
{
    struct Case {
        const char* what;
        Bytes bytes;
        bool valid;
        uint32_t dump;
        const char* filter;  // nullptr: all devices
    } cases[] = {
        {"flag only", B({0, 0, 0, 0}), true, 0, nullptr},
        {"dump flag", B({1, 0, 0, 0}), true, 1, nullptr},
        {"filter", B({1, 0, 0, 0, 'C', 'O', 'M', '3', 0}), true, 1, "COM3"},
        {"empty filter", B({0, 0, 0, 0, 0}), true, 0, nullptr},
        {"empty", B({}), false, 0, nullptr},
        {"short flag", B({1, 0, 0}), false, 0, nullptr},
        {"no terminator", B({0, 0, 0, 0, 'C', 'O', 'M'}), false, 0, nullptr},
        {"bytes after the terminator", B({0, 0, 0, 0, 'A', 0, 'B', 0}), false, 0, nullptr},
    };
    for (const Case& c : cases) {
        auto r = ParseOpeningRequest(c.bytes);
        ASSERT_EQ(r.has_value(), c.valid) << c.what;
        if (!r)
            continue;
        EXPECT_EQ(r->dumpFlag, c.dump) << c.what;
        EXPECT_EQ(r->hasFilter, c.filter != nullptr) << c.what;
        if (c.filter) {
            EXPECT_EQ(r->filter, c.filter) << c.what;
        }
    }
    EXPECT_EQ(BuildOpeningRequest(1, "COM3"), B({1, 0, 0, 0, 'C', 'O', 'M', '3', 0}));
    EXPECT_EQ(BuildOpeningRequest(0, ""), B({0, 0, 0, 0}));
    EXPECT_EQ(BuildOpeningRequest(0, nullptr), B({0, 0, 0, 0}));
}

TEST(OpeningRequestTest, FilterAndDumpFlagDecideWhichRecordsGo)
{
    OpeningRequest all{0, false, ""}, allDump{1, false, ""}, com3{0, true, "COM3"}, com3Dump{1, true, "COM3"};
    struct Case {
        const OpeningRequest* request;
        uint32_t code;
        const char* device;
        bool admitted;
    } cases[] = {
        {&all, kDeviceOpened, "COM1", true},   {&all, kResolveResult, "COM7", true},
        {&all, kTxData, "COM1", false},        {&all, kRxData, "COM1", false},
        {&allDump, kTxData, "COM1", true},     {&allDump, kRxData, "COM9", true},
        {&com3, kConnectResult, "COM3", true}, {&com3, kConnectResult, "COM4", false},
        {&com3, kConnectResult, "com3", true}, {&com3, kConnectResult, "COM33", false},
        {&com3, kRxData, "COM3", false},       {&com3Dump, kRxData, "COM3", true},
        {&com3Dump, kTxData, "COM4", false},   {&com3Dump, kDeviceClosed, "COM3", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Admits(*c.request, c.code, c.device), c.admitted)
            << "code " << c.code << " device " << c.device << " filter '" << c.request->filter << "' dump "
            << c.request->dumpFlag;
}

TEST(RecordsTest, AddressRecordsByteByByte)
{
    EXPECT_EQ(TcpAddressRecord(Ipv4(127, 0, 0, 1), 50001),
              B({14, 0, 0, 0, 0x02, 0x01, 0x06, 0x00, 0x01, 0x00, 0x00, 0x7F, 0x51, 0xC3}));
    EXPECT_EQ(UdpAddressRecord(Ipv4(10, 1, 2, 3), 7),
              B({14, 0, 0, 0, 0x02, 0x02, 0x11, 0x00, 0x03, 0x02, 0x01, 0x0A, 0x07, 0x00}));
    EXPECT_EQ(DefaultAddressRecord(kTypePipe), B({8, 0, 0, 0, 0x41, 0x01, 0x06, 0x00}));
    EXPECT_EQ(PipeAddressRecord("\\\\.\\pipe\\p"), B({23,   0,    0,   0,    0x41, 0x01, 0x06, 0x00, 0,    0,   0, 0,
                                                      '\\', '\\', '.', '\\', 'p',  'i',  'p',  'e',  '\\', 'p', 0}));
    // Extra data after a 2-character name: offset 12 + 3 = 15, stored in bits 1-16 (30 = 0x1E).
    EXPECT_EQ(PipeAddressRecord("ab", B({0xEE, 0xFF})),
              B({17, 0, 0, 0, 0x41, 0x01, 0x06, 0x00, 0x1E, 0, 0, 0, 'a', 'b', 0, 0xEE, 0xFF}));
    // UTF-16 name: flag bit 0; offset 12 + 4 = 16 -> 0x20 | 1.
    EXPECT_EQ(PipeAddressRecordWide(L"x", B({0x01})),
              B({17, 0, 0, 0, 0x41, 0x01, 0x06, 0x00, 0x21, 0, 0, 0, 'x', 0, 0, 0, 0x01}));
}

TEST(RecordsTest, RecordsAndPayloadsByteByByte)
{
    Bytes tcp = TcpAddressRecord(Ipv4(127, 0, 0, 1), 50001);
    Bytes connect = MonitorRecord(kConnectResult, "COM1", StatusPayload(0xC0000236, tcp));
    Bytes expected = B({3, 0, 0, 0, 0, 0, 0, 0, 'C', 'O', 'M', '1', 0, 0x36, 0x02, 0x00, 0xC0});
    PutBytes(expected, tcp);
    EXPECT_EQ(connect, expected);

    EXPECT_EQ(MonitorRecord(kDeviceOpened, "", {}, 0x11223344), B({1, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0}));
    EXPECT_EQ(ClosedPayload(kClosedByRemote | kClosedTimedOut, {}), B({3, 0, 0, 0}));
    EXPECT_EQ(ResolveByNamePayload("ab"), B({'a', 'b'}));
    const uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    EXPECT_EQ(ResolveByMacPayload(mac), B({0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));
    EXPECT_EQ(ResolveResultPayload(0, Ipv4(192, 168, 0, 1)), B({0, 0, 0, 0, 0x01, 0x00, 0xA8, 0xC0}));

    ParsedRecord parsed;
    ASSERT_TRUE(ParseMonitorRecord(connect, parsed));
    EXPECT_EQ(parsed.code, 3u);
    EXPECT_EQ(parsed.device, "COM1");
    EXPECT_EQ(parsed.payload, StatusPayload(0xC0000236, tcp));
    EXPECT_FALSE(ParseMonitorRecord(B({1, 0, 0, 0, 0, 0, 0, 0}), parsed));       // no name
    EXPECT_FALSE(ParseMonitorRecord(B({1, 0, 0, 0, 0, 0, 0, 0, 'A'}), parsed));  // no terminator
}
