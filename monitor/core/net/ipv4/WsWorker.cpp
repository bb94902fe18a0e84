#include "net/ipv4/WsWorker.h"
#include "exec/CurrentExecutor.h"
#include "net/CompletionMessage.h"
#include "net/ipv4/Ipv4Record.h"
#include "net/ipv4/WinsockProvider.h"
#include "runtime/BlockOwner.h"
#include "runtime/ErrorMap.h"
#include "runtime/HandleOwner.h"
#include "runtime/ManagedObject.h"
#include "runtime/Platform.h"
#include "runtime/RefOwner.h"
#include "runtime/ScopedLock.h"
#include "runtime/TrackedBlock.h"
#include <cassert>
#include <utility>

namespace {

enum class IoKind { kSend, kReceive, kSendTo, kReceiveFrom };

// One send, receive, send-to or receive-from in flight. hEvent of the
// OVERLAPPED holds the block's own address, through which its completion
// routine finds it.
struct PendingWsIo {
    ListNode links = {};
    RefOwner<WsWorker> worker;
    WSAOVERLAPPED overlapped = {};
    DWORD bytes = 0;
    DWORD flags = 0;
    HandleOwner buffer;
    ClosureOwner closure;
    sockaddr_in peer = {};
    INT peerLength = sizeof(peer);
    IoKind kind = IoKind::kSend;
    bool deferred = false;  // finish from the command queue, not inside the completion routine
};

// A command's arguments, carried to the I/O thread as the bound handle.
struct WsRequest {
    RefOwner<WsWorker> worker;
    ClosureOwner closure;
    HandleOwner buffer;
    BlockOwner<AddressRecord> record;  // own copy, or none
};

bool RunsOnIoThread(const WsWorker* w) { return RunsOnThread(w->ioThread); }

// A completion routine's results, carried to the command queue on systems
// other than NT.
struct DeferredCompletion {
    PendingWsIo* io;
    DWORD error;
    DWORD bytes;
    DWORD flags;
};

enum class Reply { kStatus, kStatusCount, kStatusCountRecord };

void Reject(const Closure* closure, Reply reply, NtStatus status, uint32_t type)
{
    switch (reply) {
    case Reply::kStatus: (void)CompleteWithStatus(closure, status, nullptr, 0); break;
    case Reply::kStatusCount: (void)CompleteWithStatusCount(closure, status, 0); break;
    case Reply::kStatusCountRecord: {
        Ipv4Record none = Ipv4RecordMake(type, 0, 0);
        (void)NotifyStatusCountAddress(closure, status, 0, &none.header);
        break;
    }
    }
}

void DestroyRequest(void* payload) { static_cast<WsRequest*>(payload)->~WsRequest(); }

// Queues the command, or runs it at once on the I/O thread (unless the queue
// is forced). Refused once the thread has left: it would never run.
[[nodiscard]] NtStatus Carry(WsWorker* w, ClosureRoutine command, BufferHandle* request)
{
    IoCommandQueue* q = &w->commands;
    if (q->forceQueue == 0 && GetCurrentThreadId() == q->owner)
        return IoCommandQueuePost(q, command, request, nullptr);
    ScopedLock hold(q->lock);
    if (w->ended)
        return kStatusInvalidState;
    return IoCommandQueuePost(q, command, request, nullptr);
}

void Post(WsWorker* w, ClosureRoutine command, Reply reply, const Closure* closure,
          const BufferHandle* buffer, const AddressRecord* record)
{
    HandleOwner request;
    NtStatus status = BufAlloc(request.put(), nullptr, DestroyRequest, sizeof(WsRequest));
    if (status == kStatusSuccess) {
        auto* r = new (request->data) WsRequest();
        r->worker = RefOwner<WsWorker>::AddRef(w);
        r->closure = ClosureOwner::Copy(closure);
        r->buffer = HandleOwner::Copy(buffer);
        if (record && !(r->record = BlockOwner<AddressRecord>(RecordDuplicate(record))))
            status = kStatusNoMemory;
        if (status == kStatusSuccess)
            status = Carry(w, command, request.get());
    }
    if (!StatusAccepted(status))
        Reject(closure, reply, status, w->type);
}

WsRequest* RequestOf(BufferHandle* bound)
{
    auto* r = static_cast<WsRequest*>(bound->data);
    assert(RunsOnIoThread(r->worker.get()) && "commands run on the endpoint's I/O thread");
    return r;
}

// Empties the closure before completing it, so that the receiver may set it anew.
void CompleteAndClear(ClosureOwner& pending, NtStatus status)
{
    assert(pending && "a connect or disconnect completes once, while it is pending");
    ClosureOwner c = std::move(pending);
    (void)CompleteWithStatus(c.get(), status, nullptr, 0);
}

// ---- completions ----------------------------------------------------------

void FinishIo(PendingWsIo* io, DWORD error, DWORD bytes)
{
    RefOwner<WsWorker> w = std::move(io->worker);  // the worker goes last
    assert(w && "each transfer completes exactly once");
    assert(RunsOnIoThread(w.get()) && "completions run on the endpoint's I/O thread");
    ListRemove(&w->outstanding, &io->links);
    NtStatus status = MapErrorToStatus(static_cast<int32_t>(error));
    Closure* closure = io->closure.get();
    switch (io->kind) {
    case IoKind::kSend:
    case IoKind::kSendTo: (void)CompleteWithStatus(closure, status, nullptr, 0); break;
    case IoKind::kReceive: (void)CompleteWithStatusCount(closure, status, bytes); break;
    case IoKind::kReceiveFrom: {
        Ipv4Record source = SockaddrToRecord(io->peer, w->type);
        (void)NotifyStatusCountAddress(closure, status, bytes, &source.header);
        break;
    }
    }
    BlockDelete(io);
}

void CALLBACK WsIoDone(DWORD error, DWORD bytes, LPWSAOVERLAPPED overlapped, DWORD flags);

void RunDeferred(BufferHandle* bound, BufferHandle*)
{
    auto* d = static_cast<DeferredCompletion*>(bound->data);
    d->io->deferred = false;
    WsIoDone(d->error, d->bytes, &d->io->overlapped, d->flags);
}

// On systems other than NT the completion is finished on the thread's next
// pass through its command queue, outside the completion routine. The queue
// of such a worker is forced, so even this post from the I/O thread waits
// there. Without memory for the command the completion is finished at once.
bool Defer(PendingWsIo* io, DWORD error, DWORD bytes, DWORD flags)
{
    HandleOwner command;
    if (BufAlloc(command.put(), nullptr, nullptr, sizeof(DeferredCompletion)) != kStatusSuccess)
        return false;
    *static_cast<DeferredCompletion*>(command->data) = {io, error, bytes, flags};
    return StatusAccepted(IoCommandQueuePost(&io->worker->commands, RunDeferred, command.get(), nullptr));
}

void CALLBACK WsIoDone(DWORD error, DWORD bytes, LPWSAOVERLAPPED overlapped, DWORD flags)
{
    auto* io = static_cast<PendingWsIo*>(overlapped->hEvent);
    if (io->deferred && Defer(io, error, bytes, flags))
        return;
    FinishIo(io, error, bytes);
}

// ---- commands (on the I/O thread) -----------------------------------------

void StartIo(BufferHandle* bound, IoKind kind, Reply reply)
{
    WsRequest* r = RequestOf(bound);
    WsWorker* w = r->worker.get();
    auto* io = BlockNew<PendingWsIo>();
    if (!io) {
        Reject(r->closure.get(), reply, kStatusNoMemory, w->type);
        return;
    }
    ListPushBack(&w->outstanding, &io->links);
    ++w->outstanding.count;
    io->worker = RefOwner<WsWorker>::AddRef(w);
    io->buffer = HandleOwner::Copy(r->buffer.get());
    io->closure = ClosureOwner::Copy(r->closure.get());
    io->overlapped.hEvent = reinterpret_cast<WSAEVENT>(io);
    io->kind = kind;
    io->deferred = w->notNt;

    WSABUF b = {io->buffer->size, static_cast<char*>(io->buffer->data)};
    int result = SOCKET_ERROR;
    switch (kind) {
    case IoKind::kSend:
        result = WSASend(w->socket, &b, 1, &io->bytes, 0, &io->overlapped, WsIoDone);
        break;
    case IoKind::kReceive:
        result = WSARecv(w->socket, &b, 1, &io->bytes, &io->flags, &io->overlapped, WsIoDone);
        break;
    case IoKind::kSendTo: {
        sockaddr_in to = RecordToSockaddr(r->record.get());
        result = WSASendTo(w->socket, &b, 1, &io->bytes, 0, reinterpret_cast<sockaddr*>(&to),
                           sizeof(to), &io->overlapped, WsIoDone);
        break;
    }
    case IoKind::kReceiveFrom:
        result = WSARecvFrom(w->socket, &b, 1, &io->bytes, &io->flags,
                             reinterpret_cast<sockaddr*>(&io->peer), &io->peerLength,
                             &io->overlapped, WsIoDone);
        break;
    }
    if (result == SOCKET_ERROR) {
        // A datagram too long for the buffer is a completed operation (its
        // status only warns of the overflow), and Wine queues its completion
        // routine although the call fails at once: finishing it here as well
        // would free the block under that routine. A system that queues no
        // routine for it leaves this receive unanswered: its block waits in the
        // outstanding list until the endpoint closes, and the bounded final
        // wait then leaves it allocated.
        int error = WSAGetLastError();
        if (error != WSA_IO_PENDING && error != WSAEMSGSIZE) {
            io->deferred = false;
            WsIoDone(static_cast<DWORD>(error), 0, &io->overlapped, 0);
        }
    }
}

void WriteCommand(BufferHandle* bound, BufferHandle*) { StartIo(bound, IoKind::kSend, Reply::kStatus); }
void ReadCommand(BufferHandle* bound, BufferHandle*) { StartIo(bound, IoKind::kReceive, Reply::kStatusCount); }
void SendToCommand(BufferHandle* bound, BufferHandle*) { StartIo(bound, IoKind::kSendTo, Reply::kStatus); }
void ReceiveFromCommand(BufferHandle* bound, BufferHandle*)
{
    StartIo(bound, IoKind::kReceiveFrom, Reply::kStatusCountRecord);
}

// A second connect or disconnect while the first is pending is refused: the
// first keeps its closure and completes once, when its network event comes.
bool RefuseWhilePending(const ClosureOwner& pending, const WsRequest* r)
{
    if (!pending)
        return false;
    (void)CompleteWithStatus(r->closure.get(), kStatusInvalidState, nullptr, 0);
    return true;
}

void ConnectCommand(BufferHandle* bound, BufferHandle*)
{
    WsRequest* r = RequestOf(bound);
    WsWorker* w = r->worker.get();
    if (RefuseWhilePending(w->connect, r))
        return;
    w->connect = ClosureOwner::Copy(r->closure.get());
    if (WSAEventSelect(w->socket, w->networkEvent, FD_CONNECT) == SOCKET_ERROR) {
        CompleteAndClear(w->connect, MapErrorToStatus(WSAGetLastError()));
        return;
    }
    sockaddr_in to = RecordToSockaddr(r->record.get());
    int result = WSAConnect(w->socket, reinterpret_cast<sockaddr*>(&to), sizeof(to), nullptr,
                            nullptr, nullptr, nullptr);
    int error = result == SOCKET_ERROR ? WSAGetLastError() : 0;
    if (error == WSAEWOULDBLOCK)
        return;  // FD_CONNECT completes it
    CompleteAndClear(w->connect, MapErrorToStatus(error));
}

// Shuts down the sending side only, not both: our FIN goes out while the
// socket still reads, so the bytes the peer sends before its own close still
// arrive, and that close (FD_CLOSE) completes the disconnect gracefully.
// Shutting down receiving too would make the system answer such late bytes
// with a reset instead.
void DisconnectCommand(BufferHandle* bound, BufferHandle*)
{
    WsRequest* r = RequestOf(bound);
    WsWorker* w = r->worker.get();
    if (RefuseWhilePending(w->disconnect, r))
        return;
    if (WSAEventSelect(w->socket, w->networkEvent, FD_CLOSE) == SOCKET_ERROR ||
        shutdown(w->socket, SD_SEND) == SOCKET_ERROR) {
        (void)CompleteWithStatus(r->closure.get(), MapErrorToStatus(WSAGetLastError()), nullptr, 0);
        return;
    }
    w->disconnect = ClosureOwner::Copy(r->closure.get());
}

// Cancelling first makes the pending operations complete as cancelled (995);
// a bare closesocket would fail them as an invalid argument.
void CloseCommand(BufferHandle* bound, BufferHandle*)
{
    WsRequest* r = RequestOf(bound);
    WsWorker* w = r->worker.get();
    if (w->socket != INVALID_SOCKET) {
        CancelIo(reinterpret_cast<HANDLE>(w->socket));
        closesocket(w->socket);
        w->socket = INVALID_SOCKET;
    }
    // No FD_CONNECT or FD_CLOSE can come any more.
    if (w->connect)
        CompleteAndClear(w->connect, kStatusConnectionReset);
    if (w->disconnect)
        CompleteAndClear(w->disconnect, kStatusConnectionReset);
    (void)CompleteWithStatus(r->closure.get(), kStatusSuccess, nullptr, 0);
}

// ---- network events --------------------------------------------------------

// One connection per signalled event (the call re-enables FD_ACCEPT while more
// wait). A failed accept delivers nothing: the listener goes on listening.
void AcceptOne(WsWorker* w)
{
    sockaddr_in peer;
    int length = sizeof(peer);
    SOCKET accepted = WSAAccept(w->socket, reinterpret_cast<sockaddr*>(&peer), &length, nullptr, 0);
    if (accepted == INVALID_SOCKET)
        return;
    NtStatus status;
    WinsockProvider* provider = WinsockProvider::Create(accepted, w->type, &status);
    if (!provider)
        return;
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(provider->cb);  // Create's reference
    Ipv4Record remote = SockaddrToRecord(peer, w->type);
    (void)NotifyObjectAddress(w->accept.get(), &remote.header, ObjectRefOf(static_cast<TransportProvider*>(provider)));
}

void OnNetworkEvents(WsWorker* w)
{
    assert(RunsOnIoThread(w) && "network events are taken on the endpoint's I/O thread");
    WSANETWORKEVENTS events;
    if (WSAEnumNetworkEvents(w->socket, nullptr, &events) == SOCKET_ERROR)
        return;
    if (events.lNetworkEvents & FD_ACCEPT)
        AcceptOne(w);
    if ((events.lNetworkEvents & FD_CONNECT) && w->connect)
        CompleteAndClear(w->connect, MapErrorToStatus(events.iErrorCode[FD_CONNECT_BIT]));
    if ((events.lNetworkEvents & FD_CLOSE) && w->disconnect)
        CompleteAndClear(w->disconnect, MapErrorToStatus(events.iErrorCode[FD_CLOSE_BIT]));
}

// ---- the thread -------------------------------------------------------------

DWORD WINAPI WsIoThreadProc(void* argument)
{
    auto* w = static_cast<WsWorker*>(argument);
    RefOwner<WsWorker> held = RefOwner<WsWorker>::Adopt(w);  // taken by Create for this thread
    WSAEVENT events[2] = {w->commands.event, w->networkEvent};
    do {
        DWORD result = WSAWaitForMultipleEvents(2, events, FALSE, WSA_INFINITE, TRUE);
        if (result == WSA_WAIT_EVENT_0) {
            IoCommandQueueDrain(&w->commands);
        } else if (result == WSA_WAIT_EVENT_0 + 1) {
            WSAResetEvent(w->networkEvent);
            OnNetworkEvents(w);
        }
    } while (w->socket != INVALID_SOCKET);

    // The cancelled operations complete in alertable waits; on systems other
    // than NT their completions then wait in the command queue. One that
    // never does is left with its worker reference: neither is ever freed
    // under the system.
    IoCommandQueueSettle(&w->commands, &w->outstanding);
    {
        ScopedLock hold(w->commands.lock);
        w->ended = true;
        w->commands.owner = kNoOwnerThread;
    }
    // What was queued before the refusal still runs, and fails on the closed socket.
    while (IoCommandQueueDrain(&w->commands) != 0) {
    }
    return 0;
}

void AttachQueue(void* payload, ControlBlock* cb) { kIoCommandQueueType.construct(payload, cb); }

}  // namespace

WsWorker* WsWorker::Create(SOCKET socket, uint32_t type, NtStatus* status)
{
    RefOwner<WsWorker> w = RefOwner<WsWorker>::Adopt(ManagedNew<WsWorker>());
    if (!w) {
        closesocket(socket);
        *status = kStatusNoMemory;
        return nullptr;
    }
    w->socket = socket;
    w->type = type;
    w->notNt = IsNotNtPlatform();
    ListInit(&w->outstanding);
    w->networkEvent = WSACreateEvent();
    w->commandsBuilt =
        ObjAttachPayload(&w->commands, AttachQueue, kIoCommandQueueType.destroy, w->cb) == kStatusSuccess;
    *status = kStatusNoMemory;
    if (w->networkEvent != WSA_INVALID_EVENT && w->commandsBuilt && w->commands.event) {
        if (w->notNt)
            w->commands.forceQueue = 1;
        RefOwner<WsWorker> forThread = w;
        DWORD id = 0;
        HANDLE thread = CreateThread(nullptr, 0, WsIoThreadProc, w.get(), CREATE_SUSPENDED, &id);
        if (thread) {
            forThread.release();  // the thread's own, dropped when it ends
            w->commands.owner = id;
            w->ioThread = id;
            ResumeThread(thread);
            CloseHandle(thread);
            *status = kStatusSuccess;
            return w.release();
        }
        *status = MapErrorToStatus(static_cast<int32_t>(GetLastError()));
    }
    return nullptr;
}

WsWorker::~WsWorker()
{
    assert(ListIsEmpty(&outstanding) && "each transfer in flight holds its worker");
    if (connect)
        CompleteAndClear(connect, kStatusConnectionReset);
    if (disconnect)
        CompleteAndClear(disconnect, kStatusConnectionReset);
    if (socket != INVALID_SOCKET)
        closesocket(socket);  // never reached its thread
    if (networkEvent != WSA_INVALID_EVENT)
        WSACloseEvent(networkEvent);
    if (commandsBuilt)
        ObjRelease(commands.exec.cb);  // the embedded queue's own control block, made by Create
}

NtStatus WsListen(WsWorker* w, const Closure* accept, uint32_t backlog)
{
    // One listen per endpoint: once FD_ACCEPT is selected the I/O thread reads
    // the accept closure, so a second listen may not replace it.
    if (InterlockedExchange(&w->listenClaimed, 1) != 0)
        return kStatusInvalidState;
    int depth = backlog > SOMAXCONN ? SOMAXCONN : static_cast<int>(backlog);
    if (listen(w->socket, depth) == SOCKET_ERROR)
        return MapErrorToStatus(WSAGetLastError());
    w->accept = ClosureOwner::Copy(accept);
    if (WSAEventSelect(w->socket, w->networkEvent, FD_ACCEPT) == SOCKET_ERROR)
        return MapErrorToStatus(WSAGetLastError());
    return kStatusSuccess;
}

void WsPostClose(WsWorker* w, const Closure* closure)
{
    Post(w, CloseCommand, Reply::kStatus, closure, nullptr, nullptr);
}

void WsPostConnect(WsWorker* w, const AddressRecord* remote, const Closure* closure)
{
    Post(w, ConnectCommand, Reply::kStatus, closure, nullptr, remote);
}

void WsPostDisconnect(WsWorker* w, const Closure* closure)
{
    Post(w, DisconnectCommand, Reply::kStatus, closure, nullptr, nullptr);
}

void WsPostWrite(WsWorker* w, const BufferHandle* buffer, const Closure* closure)
{
    Post(w, WriteCommand, Reply::kStatus, closure, buffer, nullptr);
}

void WsPostRead(WsWorker* w, const BufferHandle* buffer, const Closure* closure)
{
    Post(w, ReadCommand, Reply::kStatusCount, closure, buffer, nullptr);
}

void WsPostSendTo(WsWorker* w, const BufferHandle* buffer, const AddressRecord* destination,
                  const Closure* closure)
{
    Post(w, SendToCommand, Reply::kStatus, closure, buffer, destination);
}

void WsPostReceiveFrom(WsWorker* w, const BufferHandle* buffer, const Closure* closure)
{
    Post(w, ReceiveFromCommand, Reply::kStatusCountRecord, closure, buffer, nullptr);
}
