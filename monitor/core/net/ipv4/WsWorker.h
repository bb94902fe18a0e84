#pragma once
#include "exec/ClosureOwner.h"
#include "exec/IoCommandQueue.h"
#include "net/AddressRecord.h"
#include "runtime/IntrusiveList.h"
#include <winsock2.h>

// The I/O side of one IPv4 endpoint: its socket, the network-event object of
// its event selections and the thread on which every call on the socket and
// every completion runs. Other threads reach it only through its command
// queue; listen alone runs on the caller's thread.
class WsWorker {
public:
    ControlBlock* cb = nullptr;
    WSAEVENT networkEvent = WSA_INVALID_EVENT;  // shared by all event selections of the socket
    IoCommandQueue commands = {};               // own control block, parent this worker
    bool commandsBuilt = false;
    ClosureOwner connect;       // until FD_CONNECT or an immediate result
    ClosureOwner disconnect;    // until FD_CLOSE
    ClosureOwner accept;        // set by listen
    ListHead outstanding = {};  // PendingWsIo in flight, with their count
    bool notNt = false;
    bool ended = false;       // the thread has left: posts are refused (under the queue's lock)
    volatile LONG listenClaimed = 0;  // the one listen of the endpoint has begun
    uint32_t type = 0;        // type word of the endpoint's record
    SOCKET socket = INVALID_SOCKET;
    DWORD ioThread = 0;  // runs every command and completion, also after the queue lost its owner

    // Takes ownership of the socket (closed on failure) and starts the thread.
    // The new worker holds one strong reference for the caller; none on failure.
    static WsWorker* Create(SOCKET socket, uint32_t type, NtStatus* status);
    ~WsWorker();
};

// Run on the calling thread: 0, the mapped WinSock error, or kStatusInvalidState for a
// second listen on the endpoint. The accept closure receives one object-record
// message per accepted connection.
[[nodiscard]] NtStatus WsListen(WsWorker* worker, const Closure* accept, uint32_t backlog);

// Commands carried to the I/O thread; each completes its closure exactly once
// (when it cannot be carried, at once on the calling thread). A connect or
// disconnect while another is pending completes at once with kStatusInvalidState.
void WsPostClose(WsWorker* worker, const Closure* closure);                                  // status
void WsPostConnect(WsWorker* worker, const AddressRecord* remote, const Closure* closure);   // status
void WsPostDisconnect(WsWorker* worker, const Closure* closure);                             // status
void WsPostWrite(WsWorker* worker, const BufferHandle* buffer, const Closure* closure);      // status
void WsPostRead(WsWorker* worker, const BufferHandle* buffer, const Closure* closure);       // status-count
void WsPostSendTo(WsWorker* worker, const BufferHandle* buffer, const AddressRecord* destination,
                  const Closure* closure);                                                    // status
void WsPostReceiveFrom(WsWorker* worker, const BufferHandle* buffer, const Closure* closure); // status-count-record
