#pragma once
#include <cstdint>
#include <cstring>

// The self-describing, length-prefixed description of one endpoint, little-endian:
// u32 total size (this field included), u32 type word, then the family data.
// A record of size 8 is its family's default local record: any local address.
struct AddressRecord {
    uint32_t size;
    uint32_t type;  // bits 0-7 family, bits 8-15 kind, bits 16-31 protocol
};

static_assert(sizeof(AddressRecord) == 8, "address record header");

constexpr uint32_t kFamilyIpv4 = 2;
constexpr uint32_t kFamilyPipe = 0x41;
constexpr uint32_t kKindStream = 1;
constexpr uint32_t kKindDatagram = 2;

constexpr uint32_t kAddressTypeTcp = 0x00060102;
constexpr uint32_t kAddressTypeUdp = 0x00110202;
constexpr uint32_t kAddressTypePipe = 0x00060141;

inline uint32_t AddressFamily(const AddressRecord* r) { return r->type & 0xFF; }
inline uint32_t AddressKind(const AddressRecord* r) { return (r->type >> 8) & 0xFF; }
inline uint32_t AddressProtocol(const AddressRecord* r) { return r->type >> 16; }
// The record laid out right behind `r` (messages carry records back to back).
inline const AddressRecord* RecordFollowing(const AddressRecord* r)
{
    return reinterpret_cast<const AddressRecord*>(reinterpret_cast<const char*>(r) + r->size);
}

// IPv4 family data: u32 address at 8 and u16 port at 12, both in host order
// (a full record is 14 bytes). A shorter record stands for 0.0.0.0 port 0.
constexpr uint32_t kIpv4RecordSize = 14;

inline uint32_t Ipv4RecordAddress(const AddressRecord* r)
{
    uint32_t address = 0;
    if (r->size >= kIpv4RecordSize)
        std::memcpy(&address, reinterpret_cast<const char*>(r) + 8, 4);
    return address;
}

inline uint16_t Ipv4RecordPort(const AddressRecord* r)
{
    uint16_t port = 0;
    if (r->size >= kIpv4RecordSize)
        std::memcpy(&port, reinterpret_cast<const char*>(r) + 12, 2);
    return port;
}

// Pipe family data: u32 flags at 8 (bit 0: the name is UTF-16; bits 1-16: the
// offset of the extra data from the record's start, 0 for none), the name with
// its terminator from 12, then the extra data (the pipes' security descriptor)
// to the end.
constexpr uint32_t kPipeNameOffset = 12;
constexpr uint32_t kPipeFlagWide = 1;

inline uint32_t PipeRecordFlags(const AddressRecord* r)
{
    uint32_t flags = 0;
    if (r->size >= kPipeNameOffset)
        std::memcpy(&flags, reinterpret_cast<const char*>(r) + 8, 4);
    return flags;
}

inline uint32_t PipeRecordExtraOffset(const AddressRecord* r)
{
    return (PipeRecordFlags(r) >> 1) & 0xFFFF;
}

// Bytes of the name field, terminator included.
inline uint32_t PipeRecordNameBytes(const AddressRecord* r)
{
    uint32_t end = PipeRecordExtraOffset(r) ? PipeRecordExtraOffset(r) : r->size;
    return end > kPipeNameOffset ? end - kPipeNameOffset : 0;
}

inline const void* PipeRecordName(const AddressRecord* r)
{
    return reinterpret_cast<const char*>(r) + kPipeNameOffset;
}

// New pipe records (tracked blocks, released with BlockRelease). The name gets
// the prefix "\\.\pipe\" unless it begins with a backslash; extra data, when
// given, follows the name. None for an absent name, for extra data whose
// offset does not fit the flags word, or when memory is short.
AddressRecord* PipeAddressFromNameA(const char* name, const void* extra, uint32_t extraLength);
AddressRecord* PipeAddressFromNameW(const wchar_t* name, const void* extra, uint32_t extraLength);

// -1, 0, 1: identical pointers are equal, none sorts first, then the smaller
// size; equal sizes compare as unsigned bytes over the whole record.
int RecordCompare(const AddressRecord* a, const AddressRecord* b);
// A tracked-block copy of exactly `size` bytes; none for none or when memory is short.
AddressRecord* RecordDuplicate(const AddressRecord* record);
// Puts `record` into a record field and gives back the record it held.
void RecordReplace(AddressRecord** field, AddressRecord* record);
