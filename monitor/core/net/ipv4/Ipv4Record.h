#pragma once
#include "net/AddressRecord.h"
#include <winsock2.h>

// A full IPv4 address record: header, then address and port in host order.
#pragma pack(push, 1)
struct Ipv4Record {
    AddressRecord header;
    uint32_t address;
    uint16_t port;
};
#pragma pack(pop)

static_assert(sizeof(Ipv4Record) == kIpv4RecordSize, "IPv4 records are 14 bytes");

Ipv4Record Ipv4RecordMake(uint32_t type, uint32_t address, uint16_t port);

// All 16 bytes zero but the family; address and port from a full record, else 0.0.0.0 port 0.
sockaddr_in RecordToSockaddr(const AddressRecord* record);
Ipv4Record SockaddrToRecord(const sockaddr_in& name, uint32_t type);
