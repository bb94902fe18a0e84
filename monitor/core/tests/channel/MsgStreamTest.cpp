#include "channel/FrameDecoder.h"
#include "channel/InternetChecksum.h"
#include "channel/MsgStream.h"
#include "support/CoreTestFixture.h"
#include "support/StageTestSupport.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Frame(const std::string& payload)
{
    uint8_t header[kFrameHeaderSize];
    FrameHeaderWrite(header, static_cast<uint16_t>(payload.size()));
    return std::string(reinterpret_cast<char*>(header), sizeof(header)) + payload;
}

// Collects decoded payloads; resumes at once unless told to hold.
struct Collector {
    std::vector<std::string> messages;
    std::string area;
    bool refuseNext = false;
};

uint8_t* CollectBegin(void* context, uint32_t length)
{
    auto* c = static_cast<Collector*>(context);
    if (c->refuseNext) {
        c->refuseNext = false;
        return nullptr;
    }
    c->area.assign(length + 1, '\0');  // never empty, so a 0-byte payload has an area too
    return reinterpret_cast<uint8_t*>(&c->area[0]);
}

void CollectDone(void* context)
{
    auto* c = static_cast<Collector*>(context);
    c->messages.push_back(c->area.substr(0, c->area.size() - 1));
}

// Feeds the chunks in order, releasing each message as soon as it is delivered.
std::vector<std::string> Decode(const std::vector<std::string>& chunks, Collector c = {})
{
    FrameDecoder d;
    FrameDecoderInit(&d);
    const FrameSink sink = {CollectBegin, CollectDone, &c};
    for (const std::string& chunk : chunks) {
        auto* bytes = reinterpret_cast<const uint8_t*>(chunk.data());
        uint32_t at = 0, size = static_cast<uint32_t>(chunk.size());
        while (at < size) {
            at += FrameDecoderFeed(&d, bytes + at, size - at, sink);
            if (d.state == kFramePaused)
                FrameDecoderResume(&d);
            else
                EXPECT_EQ(at, size) << "only a delivery stops the decoder inside a chunk";
        }
    }
    return c.messages;
}

TEST(FrameCodec, HeaderCarriesTheInternetChecksumOfItsEightBytes)
{
    EXPECT_EQ(Frame("abcd").substr(0, 8), std::string("\x4D\x53\x47\x2E\x04\x00\x67\x7E", 8));
    const uint8_t odd[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(InternetChecksum(odd, 3), 0xFDFB) << "an odd last byte counts as its value";
    EXPECT_EQ(InternetChecksum(odd, 0), 0xFFFF);
    for (uint16_t length : {0, 1, 0x00FF, 0xB1B8, 0xFFFF}) {
        uint8_t header[kFrameHeaderSize];
        FrameHeaderWrite(header, length);
        EXPECT_EQ(InternetChecksum(header, sizeof(header)), 0) << "a header checks against itself: " << length;
    }
}

TEST(FrameCodec, EverySplitOfAStreamWithGarbageAndFalseStartsYieldsTheSameMessages)
{
    const std::string stream = "xy" + std::string("M") + Frame("first") + "MS" + "zz" + "MSG" + Frame("") +
                               Frame("second!") + "tail";
    const std::vector<std::string> expected = {"first", "", "second!"};
    EXPECT_EQ(Decode({stream}), expected);
    for (size_t i = 0; i <= stream.size(); ++i)
        for (size_t j = i; j <= stream.size(); ++j)
            ASSERT_EQ(Decode({stream.substr(0, i), stream.substr(i, j - i), stream.substr(j)}), expected)
                << "split at " << i << " and " << j;
    std::vector<std::string> bytes;
    for (char ch : stream)
        bytes.push_back(std::string(1, ch));
    EXPECT_EQ(Decode(bytes), expected);
}

TEST(FrameCodec, AHeaderWithAnyBitWrongIsSkippedAndTheNextFrameFound)
{
    const std::string bad = Frame("abc");
    for (int bit = 32; bit < 64; ++bit) {
        std::string flipped = bad;
        flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
        EXPECT_EQ(Decode({flipped + Frame("good")}), std::vector<std::string>{"good"}) << "bit " << bit;
    }
    Collector refusing;
    refusing.refuseNext = true;
    EXPECT_EQ(Decode({Frame("abc") + Frame("next")}, refusing), std::vector<std::string>{"next"})
        << "a payload that cannot be had drops its frame only";
}

TEST(FrameCodec, EmptyAndLargestPayloads)
{
    const std::string largest(kFrameMaxPayload, 'L');
    EXPECT_EQ(Decode({Frame(largest) + Frame("")}), (std::vector<std::string>{largest, ""}));

    // An empty payload is delivered as soon as its header is complete.
    Collector c;
    FrameDecoder d;
    FrameDecoderInit(&d);
    const std::string two = Frame("") + Frame("x");
    const FrameSink sink = {CollectBegin, CollectDone, &c};
    EXPECT_EQ(FrameDecoderFeed(&d, reinterpret_cast<const uint8_t*>(two.data()), 8, sink), 8u);
    EXPECT_EQ(c.messages, std::vector<std::string>{""});
}

TEST(FrameCodec, PausedAfterADeliveryAndResetDropsOnlyAPartFrame)
{
    Collector c;
    FrameDecoder d;
    FrameDecoderInit(&d);
    const FrameSink sink = {CollectBegin, CollectDone, &c};
    auto feed = [&](const std::string& s) {
        return FrameDecoderFeed(&d, reinterpret_cast<const uint8_t*>(s.data()), static_cast<uint32_t>(s.size()), sink);
    };
    const std::string two = Frame("one") + Frame("two");
    EXPECT_EQ(feed(two), 11u) << "up to the last byte of the delivered frame";
    EXPECT_EQ(feed(two.substr(11)), 0u) << "paused: nothing is parsed";
    FrameDecoderReset(&d);
    EXPECT_EQ(d.state, kFramePaused) << "a message still held keeps the decoder paused";
    FrameDecoderResume(&d);
    EXPECT_EQ(feed(two.substr(11)), 11u);
    FrameDecoderResume(&d);

    const std::string cut = Frame("lost payload").substr(0, 12);
    EXPECT_EQ(feed(cut), 12u);
    FrameDecoderReset(&d);
    EXPECT_EQ(feed(Frame("fresh")), 13u);
    EXPECT_EQ(c.messages, (std::vector<std::string>{"one", "two", "fresh"}));
}

// Receives messages from a stream; keeps them while `hold` is set.
struct Receiver {
    std::vector<std::string> messages;
    std::vector<HandleOwner> held;
    bool hold = false;
};

void OnMessage(BufferHandle* bound, BufferHandle* message)
{
    auto* r = static_cast<Receiver*>(bound->data);
    r->messages.emplace_back(static_cast<const char*>(message->data), message->size);
    if (r->hold)
        r->held.push_back(HandleOwner::Copy(message));
}

using StreamRef = RefOwner<MsgStream>;
using StageRef = RefOwner<StreamStage>;

class Streams : public CoreTest {
protected:
    StreamRef MakeStream(Receiver& receiver)
    {
        void* object = nullptr;
        EXPECT_EQ(ObjCreateFromDescriptor(&object, kMsgStreamType), kStatusSuccess);
        StreamRef s = StreamRef::Adopt(static_cast<MsgStream*>(object));
        EXPECT_NE(MsgStreamReceiveStage(s.get()), nullptr);
        Closure c = {OnMessage, nullptr, {&receiver, nullptr, 0, 0}};
        MsgStreamSetReceiver(s.get(), &c);
        return s;
    }
    static StageRef MakeCapture(Sink& sink)
    {
        StreamStage* s = nullptr;
        Closure consumer = ConsumerFor(sink);
        EXPECT_EQ(StageCreate(&s, &consumer), kStatusSuccess);
        return StageRef::Adopt(s);
    }
    static void Receive(MsgStream* s, const std::string& bytes, Releases* releases = nullptr)
    {
        HandleOwner h = HandleOwner::Adopt(Chunk(bytes, releases));
        EXPECT_TRUE(StatusAccepted(StageWrite(MsgStreamReceiveStage(s), h.get())));
    }
    // In the order they were held; a release may hold the next message.
    static void ReleaseHeld(Receiver& r)
    {
        std::vector<HandleOwner> held;
        held.swap(r.held);
        for (HandleOwner& h : held)
            h.reset();
    }
};

HandleOwner Bytes(const std::string& s)
{
    HandleOwner h;
    EXPECT_EQ(BufAllocCopy(h.put(), s.data(), static_cast<uint32_t>(s.size())), kStatusSuccess);
    return h;
}

TEST_F(Streams, SentFramesDecodeAgainAndOversizedPayloadsAreRefused)
{
    Receiver none;
    Sink wire;
    StreamRef senderRef = MakeStream(none);
    MsgStream* sender = senderRef.get();
    EXPECT_EQ(MsgStreamSendBytes(sender, "x", 1, nullptr), kStatusInvalidState) << "no downstream yet";
    StageRef capture = MakeCapture(wire);
    MsgStreamSetDownstream(sender, capture.get());

    HandleOwner four = Bytes("1234"), six = Bytes("567890");
    EXPECT_EQ(MsgStreamSend(sender, four.get(), six.get(), nullptr), kStatusSuccess);
    EXPECT_EQ(wire.taken, Frame("1234567890"));
    EXPECT_EQ(wire.offered, (std::vector<uint32_t>{8, 4, 6})) << "header, then each handle, not copied";

    const std::string largest(kFrameMaxPayload, 'L');
    EXPECT_EQ(MsgStreamSend(sender, nullptr), kStatusSuccess);
    EXPECT_EQ(MsgStreamSendBytes(sender, largest.data(), kFrameMaxPayload, nullptr), kStatusSuccess);
    EXPECT_EQ(MsgStreamSendBytes(sender, "ab", 2, "c", 1, nullptr), kStatusSuccess);
    const std::string sent = wire.taken;

    HandleOwner big = Bytes(largest), one = Bytes("!");
    EXPECT_EQ(MsgStreamSend(sender, big.get(), one.get(), nullptr), kStatusInvalidParameter);
    EXPECT_EQ(MsgStreamSendBytes(sender, largest.data(), kFrameMaxPayload, "!", 1, nullptr),
              kStatusInvalidParameter);
    EXPECT_EQ(wire.taken, sent) << "nothing of a refused frame is sent";

    Receiver r;
    StreamRef receiver = MakeStream(r);
    for (size_t at = 0; at < sent.size(); at += 1000)
        Receive(receiver.get(), sent.substr(at, 1000));
    EXPECT_EQ(r.messages, (std::vector<std::string>{"1234567890", "", largest, "abc"}));
}

TEST_F(Streams, AHeldMessageStopsAllParsingAndHoldsBackTheChunkUntilReleased)
{
    Receiver r;
    r.hold = true;
    Releases chunk, later;
    StreamRef stream = MakeStream(r);
    MsgStream* s = stream.get();
    Receive(s, "zz" + Frame("first") + Frame("second") + Frame("third"), &chunk);
    EXPECT_EQ(r.messages, std::vector<std::string>{"first"});
    ASSERT_EQ(r.held.size(), 1u);
    EXPECT_EQ(r.held[0]->size, 5u) << "the handle covers exactly the payload";
    EXPECT_EQ(s->receive.queue.count, 1u) << "the rest waits in the receive stage";
    EXPECT_EQ(chunk.count, 0) << "so the reader in front does not read again";

    Receive(s, Frame("fourth"), &later);
    EXPECT_EQ(r.messages.size(), 1u);

    ReleaseHeld(r);
    EXPECT_EQ(r.messages, (std::vector<std::string>{"first", "second"}));
    ReleaseHeld(r);
    EXPECT_EQ(r.messages.size(), 3u);
    EXPECT_EQ(chunk.count, 1);
    EXPECT_EQ(later.count, 0);
    r.hold = false;
    ReleaseHeld(r);
    EXPECT_EQ(r.messages, (std::vector<std::string>{"first", "second", "third", "fourth"}));
    EXPECT_EQ(later.count, 1);
    EXPECT_EQ(s->receive.queue.count, 0u);

    // Released while it is still collecting a payload and while a message is out: nothing leaks.
    r.hold = true;
    Receive(s, Frame("out") + Frame("partial payload").substr(0, 11));
    stream.reset();
    ReleaseHeld(r);
}

TEST_F(Streams, ANewConnectionNeverCompletesAFrameCutOffByTheOldOne)
{
    Receiver r;
    Releases old;
    StreamRef stream = MakeStream(r);
    MsgStream* s = stream.get();
    Receive(s, Frame("one") + Frame("cut off by the loss").substr(0, 14));
    EXPECT_EQ(MsgStreamReset(s), kStatusSuccess);
    Receive(s, Frame("two"));
    EXPECT_EQ(r.messages, (std::vector<std::string>{"one", "two"}));

    // Reconnected while old bytes still wait behind a held message: their whole
    // frames still arrive, their cut frame does not swallow the new bytes.
    r.hold = true;
    Receive(s, Frame("held") + Frame("whole") + Frame("cut again").substr(0, 10), &old);
    EXPECT_EQ(MsgStreamReset(s), kStatusSuccess);
    r.hold = false;
    ReleaseHeld(r);
    EXPECT_EQ(old.count, 1);
    Receive(s, Frame("three"));
    EXPECT_EQ(r.messages, (std::vector<std::string>{"one", "two", "held", "whole", "three"}));

    // The new connection's first chunk queued behind the old one's rest: the
    // cut applies once the old bytes are used up, not after the new ones.
    r.hold = true;
    Receive(s, Frame("held again") + Frame("cut once more").substr(0, 10));
    EXPECT_EQ(MsgStreamReset(s), kStatusSuccess);
    Receive(s, Frame("new record"));
    EXPECT_EQ(s->receive.queue.count, 2u);
    r.hold = false;
    ReleaseHeld(r);
    EXPECT_EQ(r.messages, (std::vector<std::string>{"one", "two", "held", "whole", "three", "held again",
                                                    "new record"}));

    // Old bytes dropped from the queue after the reset: the cut applies before the new ones.
    r.hold = true;
    Receive(s, Frame("held last") + Frame("cut and dropped").substr(0, 10));
    EXPECT_EQ(MsgStreamReset(s), kStatusSuccess);
    EXPECT_EQ(StageDrop(MsgStreamReceiveStage(s)), kStatusSuccess);
    r.hold = false;
    ReleaseHeld(r);
    Receive(s, Frame("after the drop"));
    EXPECT_EQ(r.messages.back(), "after the drop");
}

TEST_F(Streams, FramesOfConcurrentSendersNeverInterleave)
{
    Receiver none;
    Sink wire;
    StreamRef sender = MakeStream(none);
    StageRef capture = MakeCapture(wire);
    MsgStreamSetDownstream(sender.get(), capture.get());
    constexpr int kFrames = 300;
    auto send = [&](char who) {
        for (int i = 0; i < kFrames; ++i) {
            HandleOwner a = Bytes(std::string(1, who)), b = Bytes(std::to_string(i)), c = Bytes(":end");
            EXPECT_TRUE(StatusAccepted(MsgStreamSend(sender.get(), a.get(), b.get(), c.get(), nullptr)));
        }
    };
    std::thread first(send, 'A'), second(send, 'B');
    first.join();
    second.join();
    sender.reset();
    capture.reset();

    std::vector<std::string> messages = Decode({wire.taken});
    ASSERT_EQ(messages.size(), 2u * kFrames);
    int next[2] = {0, 0};
    for (const std::string& m : messages) {
        int who = m[0] - 'A';
        ASSERT_TRUE(who == 0 || who == 1) << m;
        EXPECT_EQ(m, std::string(1, m[0]) + std::to_string(next[who]++) + ":end");
    }
}

}  // namespace
