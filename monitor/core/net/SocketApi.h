#pragma once
#include "exec/Closure.h"
#include "net/AddressRecord.h"

// The address-family-independent socket API. Every asynchronous call returns
// at once and reports exactly once through its closure with a completion
// message; records and closures passed in are copied, and an empty closure
// drops its completion. Objects (listeners, sockets, raw endpoints) are named by
// their object reference, the address of their control-block word, as found
// in the messages; a receiver that keeps one takes a reference of its own.
// Dispatch failures (kStatusNotImplemented unknown family, kStatusInvalidParameter a kind other than
// stream or datagram) reach the closure like any other failure.

// result: status-object-record (listener or 0, the caller's record), sent once
// the endpoint listens or failed to; accept: object-record (a stream socket,
// its remote record) per accepted connection. Accepts are held weakly: once
// the listener is gone they are dropped, and the connection with them.
// A datagram record makes a datagram listener: accept hears of a datagram
// peer (read as a byte stream of what its source sends) for every new source
// address; a datagram too long for its 512-byte area, or a reset, is dropped,
// and when the receiving stops for good (a closed endpoint, any other
// failure) the result closure hears once more: (that status, 0, the record).
void SockListen(const AddressRecord* record, const Closure* accept, uint32_t backlog,
                const Closure* result);
// On 0 the caller receives the listener with a reference of its own.
[[nodiscard]] NtStatus SockListenSync(void** listener, const AddressRecord* record, const Closure* accept,
                                      uint32_t backlog);
void SockListenerClose(void* listener, const Closure* closure);  // status
void SockListenerCloseSync(void* listener);

// result: status-object-record (raw endpoint or 0, the actual local record).
void SockOpen(const AddressRecord* local, const Closure* closure);
void SockOpenFamily(uint32_t type, const Closure* closure);  // with the default local record
[[nodiscard]] NtStatus SockOpenSync(void** raw, const AddressRecord* local);
// `actual`, when given, is filled (overwritten) with a copy of the actual local record.
[[nodiscard]] NtStatus SockOpenFamilySync(void** raw, uint32_t type, BufferHandle* actual);
void RawEndpointClose(void* raw, const Closure* closure);  // status
void RawEndpointCloseSync(void* raw);
void RawEndpointSendTo(void* raw, const BufferHandle* buffer, const AddressRecord* destination,
                     const Closure* closure);                                          // status
void RawEndpointReceiveFrom(void* raw, const BufferHandle* buffer, const Closure* closure);  // status-count-record

// result: status-object-remote-local (socket when the status is 0, else 0;
// the remote record; the local record bound, or the default local record
// {8, the remote's type word} when none was given or the endpoint was never made).
// A datagram record gives a connected datagram socket at once, sending nothing:
// it writes to the remote record and reads only the datagrams that come from
// it; a failed receive completes the read with its status (a lasting failure
// completes every later read with it too). Closing a datagram socket completes
// at once and closes nothing: it lives while its users hold it.
void SockConnect(const AddressRecord* remote, const AddressRecord* local, uint32_t option,
                 const Closure* result);
void SockClose(void* socket, uint32_t option, const Closure* closure);        // status
void SockSend(void* socket, const BufferHandle* buffer, const Closure* closure);  // status; none: dropped
void SockReceive(void* socket, const BufferHandle* buffer, const Closure* closure);  // status-count
// The socket's own copies, valid while the caller holds the socket.
const AddressRecord* SockLocalRecord(void* socket);
const AddressRecord* SockRemoteRecord(void* socket);
