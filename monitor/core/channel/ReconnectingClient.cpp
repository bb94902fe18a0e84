#include "channel/ReconnectingClient.h"
#include "exec/CurrentExecutor.h"
#include "exec/ClosureOwner.h"
#include "net/CompletionMessage.h"
#include "net/SocketApi.h"
#include "runtime/BlockOwner.h"
#include "runtime/HandleOwner.h"
#include "runtime/MessageView.h"
#include "runtime/RefOwner.h"
#include <cassert>
#include <cstring>

const ClientSettings kClientDefaultSettings = {1000, 0, 3000, 0, 0, 0, 0};
const TypeDescriptor kReconnectingClientType = {sizeof(ReconnectingClient), ClientCreate, ClientDestroy};

namespace {

using Client = ReconnectingClient;

// A read into a buffer shorter than the message: the bytes that fit are data.
constexpr NtStatus kStatusMessageLonger = 0xC0000206;
const AddressRecord kNoRecord = {8, 0};

// An entry of the pending closes; the list owns it (BlockNew, BlockDelete).
struct PendingClose {
    ListNode links;
    RefOwner<void> endpoint;
};

static_assert(sizeof(PendingClose) == 12, "a list link and one endpoint reference");

// Every step runs on the client's strand; bound names the client through its
// control block (strongly while the step runs) and carries the step's word in
// its size: a sequence number or an argument.
Client* ClientOf(const BufferHandle* bound)
{
    auto* c = static_cast<Client*>(bound->cb->payload);
    assert(RunsOnStrand(&c->stage.strand) && "a client step runs on the client's strand");
    return c;
}
// The sequence number a completion was issued under: one that no longer
// matches the client's belongs to an attempt that was superseded.
uint32_t IssuedSequence(const BufferHandle* bound) { return bound->size; }
// The argument a public call posted with its step (flags, the abort flag).
uint32_t StepArgument(const BufferHandle* bound) { return bound->size; }

// The tick and the socket completions hold the client weakly: once its owner
// lets it go they are dropped, and nothing they hold keeps the client alive.
template <ClosureRoutine Step>
void OnClientStrand(BufferHandle* bound, BufferHandle* message)
{
    HandleOwner held = HandleLockCopy(bound);
    if (!held)
        return;
    // Refused only for want of memory: the event is lost like one of a client let go.
    (void)StrandHop(&static_cast<Client*>(held->cb->payload)->stage.strand, nullptr, Step, held.get(), message);
}

template <ClosureRoutine Step>
ClosureOwner WeakClosure(Client* client, uint32_t sequence, void* data = nullptr)
{
    BufferHandle bound = {data ? data : client, client->stage.cb, 1, sequence};
    ClosureOwner c;
    ClosureInit(c.put(), OnClientStrand<Step>, nullptr, &bound);
    return c;
}

[[nodiscard]] NtStatus PostStep(Client* c, ClosureRoutine step, uint32_t argument, BufferHandle* message)
{
    BufferHandle bound = {c, c->stage.cb, 0, argument};
    return StrandHop(&c->stage.strand, nullptr, step, &bound, message);
}

uint32_t Now() { return GetTickCount() | 1; }
void StartClock(uint32_t& clock) { clock = Now(); }
void StartClockIfStopped(uint32_t& clock)
{
    if (!clock)
        clock = Now();
}
// A running clock that reached its delay is stopped and reported.
bool ClockExpired(uint32_t& clock, uint32_t delay)
{
    if (!clock || ClientClockElapsed(clock, GetTickCount()) < delay)
        return false;
    clock = 0;
    return true;
}

const AddressRecord* OrNoRecord(const AddressRecord* r) { return r ? r : &kNoRecord; }

void PublishWithRecords(Client* c, uint32_t code, uint32_t word, const AddressRecord* remote,
                        const AddressRecord* local)
{
    remote = OrNoRecord(remote);
    local = OrNoRecord(local);
    EventHubPublish(&c->hub, code, &word, 4u, remote, remote->size, local, local->size, nullptr);
}

void PublishConnectionEnd(Client* c, uint32_t reason)
{
    void* socket = c->connection.object;
    PublishWithRecords(c, ClientEventDisconnect, reason, SockRemoteRecord(socket), SockLocalRecord(socket));
}

bool HasQueuedData(Client* c) { return !ListIsEmpty(&c->stage.queue); }

void SignalIdleIfQuiet(Client* c)
{
    if (!c->connection.object && ListIsEmpty(&c->pendingCloses))
        SetEvent(c->idleEvent);
}

void RunConnectDone(BufferHandle* bound, BufferHandle* message);
void RunReadDone(BufferHandle* bound, BufferHandle* message);
void RunReleased(BufferHandle* bound, BufferHandle* message);
void RunCloseDone(BufferHandle* bound, BufferHandle* message);
void RunListenDone(BufferHandle* bound, BufferHandle* message);
void RunAccepted(BufferHandle* bound, BufferHandle* message);
void RunTick(BufferHandle* bound, BufferHandle* message);
void RunRead(BufferHandle* bound, BufferHandle* message);

void ArmTick(Client* c)
{
    if (!c->timerBuilt)
        return;
    ClosureOwner tick = WeakClosure<RunTick>(c, 0);
    // Refused only for want of memory; the next call that arms the tick tries again.
    (void)TimerSet(&c->timer, static_cast<int32_t>(c->settings.tickPeriod), tick.get(), nullptr);
}

void ConnectAttempt(Client* c)
{
    if (!c->remoteAddress || c->state.connection != kConnectionNone)
        return;
    ++c->connectSequence;
    c->connectRetryStart = 0;
    c->state.connection = kConnecting;
    ClosureOwner done = WeakClosure<RunConnectDone>(c, c->connectSequence);
    SockConnect(c->remoteAddress, c->localAddress, c->settings.connectOption, done.get());
}

void MaybeConnect(Client* c)
{
    if ((c->flags & kClientKeepConnected) || HasQueuedData(c))
        ConnectAttempt(c);
}

// One read at a time, into the one receive area.
void Read(Client* c)
{
    if (!c->state.receiveEnabled || !c->connection.object || c->state.receive != kReceiveIdle)
        return;
    c->state.receive = kReadPosted;
    c->postedReadSequence = ++c->receiveSequence;
    ClosureOwner done = WeakClosure<RunReadDone>(c, c->receiveSequence);
    SockReceive(c->connection.object, &c->receiveHandle, done.get());
}

// Refused only for want of memory; the idle tick then ends the silent connection.
void PostRead(Client* c) { (void)PostStep(c, RunRead, 0, nullptr); }

// A connection begins (connected, accepted or adopted): queued data goes out first.
void TakeConnection(Client* c, void* endpoint)
{
    StartClock(c->activityStart);
    c->state.connection = kConnected;
    ObjRefAssign(&c->connection, endpoint);
    ResetEvent(c->idleEvent);
    // Refused only for want of memory; the next write resumes the stage.
    (void)StageResume(&c->stage);
}

// The connection is gone without a close call (peer end, read failure, idle timeout).
void LoseConnection(Client* c, uint32_t reason)
{
    PublishConnectionEnd(c, reason);
    c->activityStart = 0;
    c->state.connection = kConnectionNone;
    ObjRefRelease(&c->connection);  // the client's fixed-layout field
    ++c->receiveSequence;
    SignalIdleIfQuiet(c);
    MaybeConnect(c);
}

void Close(Client* c, uint32_t abort)
{
    if (void* socket = c->connection.object) {
        bool graceful = !abort && !(c->flags & kClientNeverCloseGracefully);
        if (graceful) {
            auto* entry = BlockNew<PendingClose>();
            ClosureOwner done;
            if (entry) {
                entry->endpoint = RefOwner<void>::AddRef(socket);
                ListPushBack(&c->pendingCloses, &entry->links);
                ++c->pendingCloses.count;
                done = WeakClosure<RunCloseDone>(c, c->closeSequence, entry);
            }
            SockClose(socket, c->settings.closeOption, done.get());
        }
        PublishConnectionEnd(c, graceful ? kDisconnectClosed : kDisconnectAborted);
        ObjRefRelease(&c->connection);  // the client's fixed-layout field
    }
    c->activityStart = 0;
    c->state.connection = kConnectionNone;
    ++c->connectSequence;
    ++c->receiveSequence;
    SignalIdleIfQuiet(c);
    MaybeConnect(c);
}

void FreePendingCloses(Client* c)
{
    while (!ListIsEmpty(&c->pendingCloses))
        BlockDelete(reinterpret_cast<PendingClose*>(ListPopFront(&c->pendingCloses)));
}

// The client's address fields own their records; the one stored before goes.
void StoreRecord(AddressRecord*& stored, AddressRecord* record)
{
    BlockOwner<AddressRecord> old(stored);
    stored = record;
}

void ReplaceRecord(AddressRecord*& stored, const AddressRecord* record)
{
    StoreRecord(stored, RecordDuplicate(record));
}

void StopListening(Client* c)
{
    if (!c->listener.object)
        return;
    const AddressRecord* local = OrNoRecord(c->listenAddress);
    EventHubPublish(&c->hub, ClientEventListenClosed, local, local->size, nullptr);
    ObjRefRelease(&c->listener);  // the client's fixed-layout field
}

void StartListening(Client* c)
{
    if (!c->listenAddress)
        return;
    ++c->listenSequence;
    c->listenRetryStart = 0;
    c->state.listen = kListenRequested;
    ClosureOwner accept = WeakClosure<RunAccepted>(c, c->listenSequence);
    ClosureOwner result = WeakClosure<RunListenDone>(c, c->listenSequence);
    SockListen(c->listenAddress, accept.get(), 2, result.get());
}

// ---- completions ----

void RunConnectDone(BufferHandle* bound, BufferHandle* message)
{
    Client* c = ClientOf(bound);
    if (IssuedSequence(bound) != c->connectSequence)
        return;  // superseded: its socket goes with the message
    MessageView<const StatusObjectRemoteLocalMessage> m(message);
    if (m->status != kStatusSuccess) {
        c->state.connection = kConnectionNone;
        StartClock(c->connectRetryStart);
        if (HasQueuedData(c)) {
            if (c->settings.flushDelay == 0)
                StageDropNow(&c->stage);
            else
                StartClockIfStopped(c->flushStart);
        }
    } else {
        c->flushStart = 0;  // the queued data is about to leave: nothing to time out
        TakeConnection(c, m->object.object);
        PostRead(c);
    }
    PublishWithRecords(c, ClientEventConnect, m->status, &m->remote, ConnectMessageLocal(m.get()));
}

void HandOn(Client* c, uint32_t count)
{
    StartClock(c->activityStart);
    c->state.receive = kDataHandedOn;
    ReleaseNotifier* notifier = &c->receiveNotifier;
    assert(!notifier->closure.routine && "a chunk is handed on while the last one is still held");
    ReleaseNotifierInit(notifier);
    ClosureOwner released = WeakClosure<RunReleased>(c, 0);
    HandleOwner chunk;
    if (BufWrap(chunk.put(), notifier, nullptr, ReleaseNotifierFire, c->stage.cb) != kStatusSuccess) {
        c->state.receive = kReceiveIdle;  // the chunk is lost; read on
        PostRead(c);
        return;
    }
    notifier->closure = released.release();  // fired when the last reference on the chunk goes
    chunk->data = c->receiveHandle.data;
    chunk->size = count;
    // A chunk that cannot be forwarded is released at the end, which reads on;
    // with no next stage the bytes are let go at once.
    (void)StageForward(&c->stage, chunk.get());
}

void RunReadDone(BufferHandle* bound, BufferHandle* message)
{
    Client* c = ClientOf(bound);
    uint32_t sequence = IssuedSequence(bound);
    if (sequence != c->receiveSequence) {
        // A read of a connection that is gone: only the read still in flight
        // frees the receive area, so that two reads never share it.
        if (c->state.receive == kReadPosted && c->postedReadSequence == sequence) {
            c->state.receive = kReceiveIdle;
            Read(c);
        }
        return;
    }
    c->state.receive = kReceiveIdle;
    MessageView<const StatusCountMessage> m(message);
    bool failed = m->status != kStatusSuccess && m->status != kStatusMessageLonger;
    if (failed || m->count == 0) {
        LoseConnection(c, failed ? kDisconnectReadFailed : kDisconnectPeerEnded);
        return;
    }
    HandOn(c, m->count < c->receiveHandle.size ? m->count : c->receiveHandle.size);
}

void RunReleased(BufferHandle* bound, BufferHandle*)
{
    Client* c = ClientOf(bound);
    if (c->state.receive != kDataHandedOn)
        return;
    c->state.receive = kReceiveIdle;
    Read(c);
}

void RunCloseDone(BufferHandle* bound, BufferHandle*)
{
    Client* c = ClientOf(bound);
    if (IssuedSequence(bound) != c->closeSequence)
        return;  // the entry was dropped by a reset
    auto* entry = static_cast<PendingClose*>(bound->data);
    ListRemove(&c->pendingCloses, &entry->links);
    BlockDelete(entry);
    SignalIdleIfQuiet(c);
}

void RunListenDone(BufferHandle* bound, BufferHandle* message)
{
    Client* c = ClientOf(bound);
    if (IssuedSequence(bound) != c->listenSequence)
        return;
    MessageView<const StatusObjectRecordMessage> m(message);
    if (m->status != kStatusSuccess) {
        c->state.listen = kListenNone;
        StartClock(c->listenRetryStart);
    } else {
        c->state.listen = kListenActive;
        ObjRefAssign(&c->listener, m->object.object);
    }
    uint32_t recordBytes = message->size > 8 ? m->record.size : 0;
    EventHubPublish(&c->hub, ClientEventListen, &m->status, 4u, &m->record, recordBytes, nullptr);
}

void RunAccepted(BufferHandle* bound, BufferHandle* message)
{
    Client* c = ClientOf(bound);
    if (IssuedSequence(bound) != c->listenSequence)
        return;
    MessageView<const ObjectRecordMessage> m(message);
    if (c->connection.object) {
        if (c->flags & kClientKeepOnAccept)
            return;  // the new connection goes with the message
        Close(c, 0);
    }
    ++c->connectSequence;  // an attempt the close may have started is superseded
    TakeConnection(c, m->object.object);
    PostRead(c);
    EventHubPublish(&c->hub, ClientEventAccept, &m->record, m->record.size, nullptr);
}

void RunTick(BufferHandle* bound, BufferHandle*)
{
    Client* c = ClientOf(bound);
    const ClientSettings& s = c->settings;
    if (ClockExpired(c->flushStart, s.flushDelay)) {
        EventHubPublish(&c->hub, ClientEventFlushTimeout, nullptr, 0u);
        StageDropNow(&c->stage);
    }
    if (s.idleTimeout && ClockExpired(c->activityStart, s.idleTimeout) &&
        c->state.connection == kConnected)
        LoseConnection(c, kDisconnectIdle);
    if (s.relistenDelay && ClockExpired(c->listenRetryStart, s.relistenDelay))
        StartListening(c);
    if (s.reconnectDelay && ClockExpired(c->connectRetryStart, s.reconnectDelay))
        MaybeConnect(c);
    ArmTick(c);
}

// ---- the stage part ----

// Consumer of the stage: how much of the offered buffer the connection takes.
void RunSendPath(BufferHandle* bound, BufferHandle* message)
{
    Client* c = ClientOf(bound);
    MessageView<StageOffer> offer(message);
    if (c->state.connection == kConnected) {
        StartClock(c->activityStart);
        EventHubPublishHandle(&c->hub, ClientEventData, offer->offered);
        SockSend(c->connection.object, offer->offered, nullptr);
        return;
    }
    if (c->remoteAddress) {
        ConnectAttempt(c);
        offer->accepted = 0;  // waits in the queue for the connection
        return;
    }
    if (c->settings.flushDelay == 0)
        return;  // nowhere to go: dropped
    StartClockIfStopped(c->flushStart);
    offer->accepted = 0;
}

void RunReceiveSwitch(BufferHandle* bound, BufferHandle* message)
{
    Client* c = ClientOf(bound);
    uint8_t on = message && message->size != 0 ? 1 : 0;
    if (on == c->state.receiveEnabled)
        return;
    c->state.receiveEnabled = on;
    Read(c);
}

// ---- public calls, on the strand ----

void RunRead(BufferHandle* bound, BufferHandle*) { Read(ClientOf(bound)); }

void RunSetParameters(BufferHandle* bound, BufferHandle* message)
{
    if (message && message->size == sizeof(ClientSettings))
        ClientOf(bound)->settings = *MessageView<const ClientSettings>(message);
}

void RunSetFlags(BufferHandle* bound, BufferHandle*)
{
    Client* c = ClientOf(bound);
    c->flags = StepArgument(bound);
    MaybeConnect(c);
}

// Message: [remote record][local record], or nothing to forget both.
void RunConnect(BufferHandle* bound, BufferHandle* message)
{
    Client* c = ClientOf(bound);
    if (!message || !message->data) {
        StoreRecord(c->remoteAddress, nullptr);
        StoreRecord(c->localAddress, nullptr);
        Close(c, 0);
        return;
    }
    const AddressRecord* remote = MessageView<const AddressRecord>(message).get();
    const AddressRecord* local = RecordFollowing(remote);
    if (RecordCompare(remote, c->remoteAddress) == 0 && RecordCompare(local, c->localAddress) == 0)
        return;
    // Replaced before the close, whose reconnect then reaches the new address.
    ReplaceRecord(c->remoteAddress, remote);
    ReplaceRecord(c->localAddress, local);
    Close(c, 0);
}

void RunConnectNow(BufferHandle* bound, BufferHandle*) { ConnectAttempt(ClientOf(bound)); }
void RunDisconnect(BufferHandle* bound, BufferHandle*) { Close(ClientOf(bound), StepArgument(bound)); }

void RunReset(BufferHandle* bound, BufferHandle*)
{
    Client* c = ClientOf(bound);
    ObjRefRelease(&c->connection);  // the client's fixed-layout field
    FreePendingCloses(c);
    ++c->closeSequence;
    // Nothing is connected any more: the old connection's completions are
    // stale, and the client may connect again. A read still in flight keeps
    // the receive area, though: the dropped endpoint may still fill it, so the
    // next read waits until that read is back (its stale completion frees it).
    c->state.connection = kConnectionNone;
    ++c->connectSequence;
    ++c->receiveSequence;
    c->activityStart = 0;
    SetEvent(c->idleEvent);
    MaybeConnect(c);
}

void RunListen(BufferHandle* bound, BufferHandle* message)
{
    Client* c = ClientOf(bound);
    const AddressRecord* record = MessageView<const AddressRecord>(message).get();
    if (RecordCompare(record, c->listenAddress) != 0)
        ReplaceRecord(c->listenAddress, record);
    else if (c->listener.object)
        return;
    StopListening(c);
    StartListening(c);
}

void RunStopListen(BufferHandle* bound, BufferHandle*)
{
    Client* c = ClientOf(bound);
    StopListening(c);
    StoreRecord(c->listenAddress, nullptr);
}

void RunAdopt(BufferHandle* bound, BufferHandle* message)
{
    Client* c = ClientOf(bound);
    Close(c, 1);
    ++c->connectSequence;
    c->state.receiveEnabled = 0;
    TakeConnection(c, message->data);
    Read(c);
}

[[nodiscard]] NtStatus PostCopy(Client* c, ClosureRoutine step, const void* bytes, uint32_t size)
{
    HandleOwner copy;
    NtStatus status = BufAllocCopy(copy.put(), bytes, size);
    if (status != kStatusSuccess)
        return status;
    return PostStep(c, step, 0, copy.get());
}

}  // namespace

void ClientCreate(void* client, ControlBlock* cb)
{
    auto* c = static_cast<Client*>(client);
    std::memset(c, 0, sizeof(*c));
    StageInit(&c->stage, cb);
    c->timerBuilt = TimerCreate(&c->timer) == kStatusSuccess;
    EventHubInit(&c->hub);
    BufferHandle self = {c, cb, 1, 0};
    ClosureOwner consumer;
    ClosureInit(consumer.put(), RunSendPath, nullptr, &self);
    StageSetConsumer(&c->stage, consumer.get());
    StageSetFlowInput(&c->stage, WeakClosure<RunReceiveSwitch>(c, 0).get());
    c->settings = kClientDefaultSettings;
    ListInit(&c->pendingCloses);
    c->idleEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    BufHandleInit(&c->receiveHandle, cb, c->ownReceiveArea, kClientOwnReceiveSize, 1);
    c->state.receiveEnabled = 1;
    ArmTick(c);
}

void ClientDestroy(void* client)
{
    auto* c = static_cast<Client*>(client);
    if (c->timerBuilt)
        TimerDestroy(&c->timer);
    c->timerBuilt = 0;
    // The client's fixed-layout fields, torn down here.
    ObjRefRelease(&c->listener);
    ObjRefRelease(&c->connection);
    FreePendingCloses(c);
    if (c->idleEvent)
        CloseHandle(c->idleEvent);
    c->idleEvent = nullptr;
    StoreRecord(c->listenAddress, nullptr);
    StoreRecord(c->remoteAddress, nullptr);
    StoreRecord(c->localAddress, nullptr);
    BufHandleRelease(&c->receiveHandle);
    c->receiveHandle = {};
    EventHubDestroy(&c->hub);
    StageDestroy(&c->stage);
}

void ClientUseReceiveArea(ReconnectingClient* client, void* area, uint32_t size, ControlBlock* owner)
{
    HandleOwner old = HandleOwner::Adopt(client->receiveHandle);  // let go once the new area is held
    BufHandleInit(&client->receiveHandle, owner, area, size, 1);
}

NtStatus ClientSetParameters(ReconnectingClient* client, const ClientSettings* settings)
{
    return PostCopy(client, RunSetParameters, settings, sizeof(*settings));
}

NtStatus ClientSetFlags(ReconnectingClient* client, uint32_t flags)
{
    return PostStep(client, RunSetFlags, flags, nullptr);
}

NtStatus ClientConnect(ReconnectingClient* client, const AddressRecord* remote, const AddressRecord* local)
{
    if (!remote)
        return PostStep(client, RunConnect, 0, nullptr);
    const AddressRecord any = {8, remote->type};
    if (!local)
        local = &any;
    HandleOwner pair;
    NtStatus status = BufAllocGather(pair.put(), remote, remote->size, local, local->size, nullptr);
    if (status != kStatusSuccess)
        return status;
    return PostStep(client, RunConnect, 0, pair.get());
}

NtStatus ClientConnectNow(ReconnectingClient* client) { return PostStep(client, RunConnectNow, 0, nullptr); }

NtStatus ClientDisconnect(ReconnectingClient* client, uint32_t abort)
{
    return PostStep(client, RunDisconnect, abort ? 1 : 0, nullptr);
}

NtStatus ClientReset(ReconnectingClient* client) { return PostStep(client, RunReset, 0, nullptr); }

NtStatus ClientListen(ReconnectingClient* client, const AddressRecord* record)
{
    if (!record || record->size <= 8)
        return ClientStopListen(client);
    return PostCopy(client, RunListen, record, record->size);
}

NtStatus ClientStopListen(ReconnectingClient* client) { return PostStep(client, RunStopListen, 0, nullptr); }

NtStatus ClientAdoptSocket(ReconnectingClient* client, void* endpoint)
{
    if (!endpoint)
        return kStatusInvalidParameter;
    BufferHandle held = {endpoint, ObjControlBlockOf(endpoint), 0, 0};
    return PostStep(client, RunAdopt, 0, &held);
}
