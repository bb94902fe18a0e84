// Builders of address records, record payloads and whole records, byte by byte.
#pragma once

#include "Bytes.h"
#include "RecordCodes.h"

namespace logpeer {

// IPv4 address in host order from its dotted parts: Ipv4(127, 0, 0, 1) == 0x7F000001.
constexpr uint32_t Ipv4(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(b) << 16 | static_cast<uint32_t>(c) << 8 | d;
}

// 14-byte IPv4 records: total size, type word, u32 address and u16 port in host order.
Bytes TcpAddressRecord(uint32_t address, uint16_t port);
Bytes UdpAddressRecord(uint32_t address, uint16_t port);
// 8-byte record holding only the type word.
Bytes DefaultAddressRecord(uint32_t typeWord);
// Pipe record: flags, then the name exactly as given with its NUL, then `extra` (the flags then
// carry its offset). The wide form stores UTF-16 units and sets flag bit 0.
Bytes PipeAddressRecord(const std::string& name, const Bytes& extra = {});
Bytes PipeAddressRecordWide(const std::wstring& name, const Bytes& extra = {});

// Payloads.
Bytes StatusPayload(uint32_t status, const Bytes& addressRecord);  // codes 3 and 11
Bytes ClosedPayload(uint32_t flags, const Bytes& addressRecord);   // code 5
Bytes ResolveByNamePayload(const std::string& host);               // code 12, no NUL
Bytes ResolveByMacPayload(const uint8_t (&mac)[6]);                // code 13
Bytes ResolveResultPayload(uint32_t status, uint32_t address);     // code 14

// u32 code, u32 second word, the device name with its NUL, the payload.
Bytes MonitorRecord(uint32_t code, const std::string& device, const Bytes& payload, uint32_t second = 0);

// A record read back: false when the bytes hold no complete header and terminated name.
struct ParsedRecord {
    uint32_t code = 0;
    uint32_t second = 0;
    std::string device;
    Bytes payload;
};
bool ParseMonitorRecord(const Bytes& record, ParsedRecord& out);

}  // namespace logpeer
