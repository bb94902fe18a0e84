#include "Script.h"

#include <chrono>
#include <cstdio>
#include <sstream>

#include "Demo.h"
#include "Frame.h"
#include "Records.h"

namespace logpeer {

namespace {

[[noreturn]] void Bad(int line, const std::string& why)
{
    throw std::invalid_argument("line " + std::to_string(line) + ": " + why);
}

uint32_t Number(const std::string& s, int line)
{
    try {
        size_t used = 0;
        unsigned long v = std::stoul(s, &used, 0);
        if (used == s.size())
            return static_cast<uint32_t>(v);
    } catch (const std::exception&) {
    }
    Bad(line, "not a number: " + s);
}

Bytes Ipv4Item(const std::string& text, bool udp, int line)
{
    unsigned a, b, c, d, port;
    char tail;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u:%u%c", &a, &b, &c, &d, &port, &tail) != 5 || a > 255 || b > 255 ||
        c > 255 || d > 255 || port > 65535)
        Bad(line, "not an address A.B.C.D:PORT: " + text);
    uint32_t address =
        Ipv4(static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c), static_cast<uint8_t>(d));
    return udp ? UdpAddressRecord(address, static_cast<uint16_t>(port))
               : TcpAddressRecord(address, static_cast<uint16_t>(port));
}

// Steps and how many words each takes at least (the step word included).
struct Known {
    const char* name;
    size_t minWords;
};
const Known kSteps[] = {{"wait", 1},   {"wait-closed", 1}, {"record", 3}, {"raw", 2},    {"split", 5},
                        {"badsum", 3}, {"big", 3},         {"short", 1},  {"noterm", 3}, {"close", 1},
                        {"abort", 1},  {"down", 1},        {"up", 1},     {"busy", 2},   {"reading", 2},
                        {"sleep", 2},  {"burst", 3},       {"demo", 2},   {"hold", 1}};

bool OnOff(const ScriptStep& s)
{
    if (s.words[1] == "on")
        return true;
    if (s.words[1] == "off")
        return false;
    Bad(s.line, "expected on or off");
}

std::vector<std::shared_ptr<Connection>> Subscribed(LogPeer& peer)
{
    std::vector<std::shared_ptr<Connection>> out;
    for (auto& c : peer.connections())
        if (c->openingRequest())
            out.push_back(c);
    return out;
}

void SendToAll(LogPeer& peer, const Bytes& bytes)
{
    for (auto& c : Subscribed(peer))
        c->SendRaw(bytes);
}

// Waits that give up early when interrupted.
bool Pause(HANDLE stop, DWORD ms) { return WaitForSingleObject(stop, ms) != WAIT_OBJECT_0; }

void Burst(LogPeer& peer, const ScriptStep& s)
{
    uint32_t count = Number(s.words[1], s.line), size = Number(s.words[2], s.line);
    uint32_t code = s.words.size() > 3 ? Number(s.words[3], s.line) : kTxData;
    std::string device = s.words.size() > 4 ? s.words[4] : "COM1";
    Bytes data(size, 0x55);
    auto start = std::chrono::steady_clock::now();
    uint64_t bytes = 0;
    for (uint32_t i = 0; i < count; ++i) {
        size_t sent = peer.Publish(code, device, data, 0, LogPeer::WhenFull::Wait);  // as fast as they read
        bytes += sent * (kFrameHeaderSize + 9 + device.size() + size);
    }
    for (auto& c : peer.connections())
        c->WaitDrained(INFINITE);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("burst %u records of %u bytes: %llu bytes in %.3f s (%.1f MB/s, %.0f records/s)\n", count, size,
                static_cast<unsigned long long>(bytes), seconds, seconds > 0 ? bytes / seconds / 1e6 : 0.0,
                seconds > 0 ? count / seconds : 0.0);
    std::fflush(stdout);
}

}  // namespace

Bytes ParsePayloadItems(const std::vector<std::string>& items, size_t first, int line)
{
    Bytes out;
    for (size_t i = first; i < items.size(); ++i) {
        const std::string& item = items[i];
        size_t colon = item.find(':');
        if (colon == std::string::npos)
            Bad(line, "payload item without a kind: " + item);
        std::string kind = item.substr(0, colon), value = item.substr(colon + 1);
        if (kind == "u8")
            PutU8(out, static_cast<uint8_t>(Number(value, line)));
        else if (kind == "u16")
            PutU16(out, static_cast<uint16_t>(Number(value, line)));
        else if (kind == "u32")
            PutU32(out, Number(value, line));
        else if (kind == "hex") {
            if (!ParseHex(value, out))
                Bad(line, "bad hex: " + value);
        } else if (kind == "str" || kind == "strz")
            PutString(out, value, kind == "strz");
        else if (kind == "tcp" || kind == "udp")
            PutBytes(out, Ipv4Item(value, kind == "udp", line));
        else if (kind == "pipe")
            PutBytes(out, PipeAddressRecord(value));
        else
            Bad(line, "unknown payload item: " + item);
    }
    return out;
}

std::vector<ScriptStep> ParseScript(const std::string& text, char separator)
{
    std::vector<ScriptStep> steps;
    std::istringstream in(text);
    std::string piece;
    int line = 0;
    while (std::getline(in, piece, separator)) {
        ++line;
        size_t hash = piece.find('#');
        if (hash != std::string::npos)
            piece.erase(hash);
        ScriptStep step;
        step.line = line;
        std::istringstream words(piece);
        for (std::string w; words >> w;)
            step.words.push_back(w);
        if (step.words.empty())
            continue;
        const Known* known = nullptr;
        for (const Known& k : kSteps)
            if (step.words[0] == k.name)
                known = &k;
        if (!known)
            Bad(line, "unknown step " + step.words[0]);
        if (step.words.size() < known->minWords)
            Bad(line, step.words[0] + " needs more arguments");
        // Payload items are checked now rather than in the middle of a run.
        const std::string& w = step.words[0];
        if (w == "record" || w == "badsum")
            ParsePayloadItems(step.words, 3, line);
        if (w == "split")
            ParsePayloadItems(step.words, 5, line);
        steps.push_back(std::move(step));
    }
    return steps;
}

bool RunScript(LogPeer& peer, const std::vector<ScriptStep>& steps, HANDLE stop)
{
    for (const ScriptStep& s : steps) {
        if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0)
            return true;
        const std::string& w = s.words[0];
        auto arg = [&](size_t i, uint32_t fallback) {
            return s.words.size() > i ? Number(s.words[i], s.line) : fallback;
        };
        if (w == "wait") {
            auto c = peer.WaitConnection(arg(1, 30000));
            if (!c || !c->WaitOpeningRequest(arg(1, 30000))) {
                std::fprintf(stderr, "line %d: no connection with an opening request in time\n", s.line);
                return false;
            }
        } else if (w == "wait-closed") {
            for (auto& c : peer.connections())
                if (!c->WaitClosed(arg(1, 30000))) {
                    std::fprintf(stderr, "line %d: %s is still open\n", s.line, c->name().c_str());
                    return false;
                }
        } else if (w == "record") {
            peer.Publish(Number(s.words[1], s.line), s.words[2], ParsePayloadItems(s.words, 3, s.line));
        } else if (w == "raw") {
            Bytes bytes;
            for (size_t i = 1; i < s.words.size(); ++i)
                if (!ParseHex(s.words[i], bytes))
                    Bad(s.line, "bad hex: " + s.words[i]);
            SendToAll(peer, bytes);
        } else if (w == "split") {
            uint32_t pieces = std::max<uint32_t>(1, Number(s.words[1], s.line)), delay = Number(s.words[2], s.line);
            Bytes frame = BuildFrame(
                MonitorRecord(Number(s.words[3], s.line), s.words[4], ParsePayloadItems(s.words, 5, s.line)));
            size_t at = 0;
            for (uint32_t i = 0; i < pieces && at < frame.size(); ++i) {
                size_t end = i + 1 == pieces ? frame.size()
                                             : std::min(frame.size(), at + std::max<size_t>(1, frame.size() / pieces));
                SendToAll(peer, Bytes(frame.begin() + at, frame.begin() + end));
                at = end;
                if (at < frame.size() && !Pause(stop, delay))
                    return true;
            }
        } else if (w == "badsum") {
            Bytes frame = BuildFrame(
                MonitorRecord(Number(s.words[1], s.line), s.words[2], ParsePayloadItems(s.words, 3, s.line)));
            frame[6] ^= 0x01;
            SendToAll(peer, frame);
        } else if (w == "big") {
            const std::string& device = s.words[2];
            Bytes data(kMaxFramePayload - 9 - device.size(), 0xA5);
            peer.Publish(Number(s.words[1], s.line), device, data);
        } else if (w == "short") {
            SendToAll(peer, BuildFrame(Bytes{1, 0, 0, 0, 0, 0}));
        } else if (w == "noterm") {
            Bytes record = MonitorRecord(Number(s.words[1], s.line), s.words[2], {});
            record.pop_back();
            SendToAll(peer, BuildFrame(record));
        } else if (w == "close" || w == "abort") {
            peer.CloseAll(w == "close");
        } else if (w == "down") {
            peer.StopListening();
            peer.CloseAll(false);
        } else if (w == "up") {
            peer.StartListening();
        } else if (w == "busy") {
            peer.SetPipeBusy(OnOff(s));
        } else if (w == "reading") {
            bool on = OnOff(s);
            for (auto& c : peer.connections())
                c->SetReading(on);
        } else if (w == "sleep") {
            if (!Pause(stop, Number(s.words[1], s.line)))
                return true;
        } else if (w == "burst") {
            Burst(peer, s);
        } else if (w == "demo") {
            RunDemo(peer, Number(s.words[1], s.line), arg(2, 500), stop);
        } else if (w == "hold") {
            WaitForSingleObject(stop, INFINITE);
        }
    }
    return true;
}

}  // namespace logpeer
