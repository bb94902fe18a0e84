#include "net/ipv4/Ipv4Record.h"
#include <cstring>

Ipv4Record Ipv4RecordMake(uint32_t type, uint32_t address, uint16_t port)
{
    Ipv4Record r;
    r.header = {kIpv4RecordSize, type};
    r.address = address;
    r.port = port;
    return r;
}

sockaddr_in RecordToSockaddr(const AddressRecord* record)
{
    sockaddr_in name;
    std::memset(&name, 0, sizeof(name));
    name.sin_family = AF_INET;
    name.sin_addr.s_addr = htonl(Ipv4RecordAddress(record));
    name.sin_port = htons(Ipv4RecordPort(record));
    return name;
}

Ipv4Record SockaddrToRecord(const sockaddr_in& name, uint32_t type)
{
    return Ipv4RecordMake(type, ntohl(name.sin_addr.s_addr), ntohs(name.sin_port));
}
