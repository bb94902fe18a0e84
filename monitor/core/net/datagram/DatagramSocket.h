#pragma once
#include "net/DataSocket.h"
#include "net/FamilyRegistry.h"

// The datagram side of the socket API. A datagram socket's close completes at
// once with 0 and closes nothing (the socket lives while its users hold it);
// its write sends the whole buffer to the remote record.
class DatagramSocket : public DataSocket {
public:
    void Close(uint32_t option, const Closure* closure) override;
    void Write(const BufferHandle* buffer, const Closure* closure) override;

protected:
    DatagramSocket() = default;
    ~DatagramSocket() = default;
};

// Datagrams of one received-from call that are dropped and the loop goes on:
// one too long for the receive area, or the reset that an earlier send's
// unreachable destination leaves behind. Any other failure ends the receiving.
constexpr NtStatus kStatusMessageTooLong = 0xC0000206;
inline bool DatagramDropped(NtStatus status)
{
    return status == kStatusMessageTooLong || status == kStatusConnectionReset;
}

// SockListen of a datagram record. `ended`, unless empty, hears once, as
// status-object-record (the failure, 0, the caller's record), that the
// listener has stopped receiving for good.
void DatagramListen(const AddressRecord* record, FamilyFactory factory, const Closure* accept,
                    const Closure* result, const Closure* ended);
// SockConnect of a datagram record: the connect result comes as soon as the
// endpoint is made; nothing goes on the wire.
void DatagramConnect(const AddressRecord* remote, const AddressRecord* local, FamilyFactory factory,
                     const Closure* result);
