#include "Records.h"

#include <algorithm>

namespace logpeer {

namespace {

Bytes Ipv4Record(uint32_t typeWord, uint32_t address, uint16_t port)
{
    Bytes r;
    PutU32(r, 14);
    PutU32(r, typeWord);
    PutU32(r, address);
    PutU16(r, port);
    return r;
}

// Flags bit 0: UTF-16 name; bits 1-16: offset of the extra data from the record start.
Bytes PipeRecord(const Bytes& nameWithNul, bool wide, const Bytes& extra)
{
    uint32_t extraOffset = extra.empty() ? 0 : static_cast<uint32_t>(12 + nameWithNul.size());
    Bytes r;
    PutU32(r, static_cast<uint32_t>(12 + nameWithNul.size() + extra.size()));
    PutU32(r, kTypePipe);
    PutU32(r, (wide ? 1u : 0u) | (extraOffset & 0xFFFF) << 1);
    PutBytes(r, nameWithNul);
    PutBytes(r, extra);
    return r;
}

Bytes WordThenRecord(uint32_t word, const Bytes& record)
{
    Bytes p;
    PutU32(p, word);
    PutBytes(p, record);
    return p;
}

}  // namespace

Bytes TcpAddressRecord(uint32_t address, uint16_t port) { return Ipv4Record(kTypeTcp, address, port); }
Bytes UdpAddressRecord(uint32_t address, uint16_t port) { return Ipv4Record(kTypeUdp, address, port); }

Bytes DefaultAddressRecord(uint32_t typeWord)
{
    Bytes r;
    PutU32(r, 8);
    PutU32(r, typeWord);
    return r;
}

Bytes PipeAddressRecord(const std::string& name, const Bytes& extra)
{
    Bytes n;
    PutString(n, name, true);
    return PipeRecord(n, false, extra);
}

Bytes PipeAddressRecordWide(const std::wstring& name, const Bytes& extra)
{
    Bytes n;
    for (wchar_t c : name)
        PutU16(n, static_cast<uint16_t>(c));
    PutU16(n, 0);
    return PipeRecord(n, true, extra);
}

Bytes StatusPayload(uint32_t status, const Bytes& addressRecord) { return WordThenRecord(status, addressRecord); }
Bytes ClosedPayload(uint32_t flags, const Bytes& addressRecord) { return WordThenRecord(flags, addressRecord); }

Bytes ResolveByNamePayload(const std::string& host) { return Bytes(host.begin(), host.end()); }

Bytes ResolveByMacPayload(const uint8_t (&mac)[6]) { return Bytes(mac, mac + 6); }

Bytes ResolveResultPayload(uint32_t status, uint32_t address)
{
    Bytes p;
    PutU32(p, status);
    PutU32(p, address);
    return p;
}

Bytes MonitorRecord(uint32_t code, const std::string& device, const Bytes& payload, uint32_t second)
{
    Bytes r;
    r.reserve(9 + device.size() + payload.size());
    PutU32(r, code);
    PutU32(r, second);
    PutString(r, device, true);
    PutBytes(r, payload);
    return r;
}

bool ParseMonitorRecord(const Bytes& record, ParsedRecord& out)
{
    if (record.size() < 9)
        return false;
    auto nul = std::find(record.begin() + 8, record.end(), 0);
    if (nul == record.end())
        return false;
    out.code = GetU32(record.data());
    out.second = GetU32(record.data() + 4);
    out.device.assign(record.begin() + 8, nul);
    out.payload.assign(nul + 1, record.end());
    return true;
}

}  // namespace logpeer
