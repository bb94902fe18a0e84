#include "net/pipe/PipeWorker.h"
#include "containers/CountedArray.h"
#include "exec/ClosureOwner.h"
#include "exec/CurrentExecutor.h"
#include "net/AddressRecordReader.h"
#include "net/CompletionMessage.h"
#include "net/pipe/PipeName.h"
#include "net/pipe/PipeProvider.h"
#include "runtime/BlockOwner.h"
#include "runtime/FixedWaits.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include "runtime/ScopedLock.h"
#include "runtime/TrackedBlock.h"
#include <cassert>
#include <utility>

namespace {

constexpr uint32_t kInstanceIdle = 0;
constexpr uint32_t kInstanceWaiting = 1;    // ConnectNamedPipe pending
constexpr uint32_t kInstanceConnected = 2;  // a client arrived; the accept follows
constexpr DWORD kPipeBufferBytes = 512;
constexpr DWORD kPipeDefaultTimeoutMs = 3000;

enum CommandKind : uint32_t { kClose, kListen, kConnect, kDisconnect, kWrite, kRead };

struct PipeCommand {
    RefOwner<PipeWorker> worker;
    uint32_t kind = kClose;
    ClosureOwner closure;
    ClosureOwner result;  // listen: the outcome
    uint32_t backlog = 0;
    HandleOwner buffer;
    BlockOwner<AddressRecord> record;
};

struct PendingPipeIo {
    ListNode links = {};
    RefOwner<PipeWorker> worker;
    OVERLAPPED overlapped = {};  // hEvent: this block
    HandleOwner buffer;
    ClosureOwner closure;
};

void DestroyCommand(void* payload) { static_cast<PipeCommand*>(payload)->~PipeCommand(); }

bool RunsOnIoThread(const PipeWorker* w) { return RunsOnThread(w->commands->owner); }

void Complete(PipeCommand* c, NtStatus status)
{
    if (c->kind == kRead)
        (void)CompleteWithStatusCount(c->closure.get(), status, 0);
    else
        (void)CompleteWithStatus(c->kind == kListen ? c->result.get() : c->closure.get(), status, nullptr, 0);
}

const char* NameText(const Str& name) { return name.data ? name.data : ""; }

void CloseHandleCancelled(HANDLE& handle)
{
    if (handle == INVALID_HANDLE_VALUE)
        return;
    CancelIo(handle);  // else a pending read completes with a broken-pipe error, not 995
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}

// Cancel, close the pipe, let a pending connect come back, only then close
// the event and free the instance. A connect that is not back within the
// settle time (one for all instances) leaves its instance allocated for good:
// the system may still write its OVERLAPPED.
void CloseInstances(PipeWorker* w)
{
    const DWORD start = GetTickCount();
    const DWORD limit = CoreFixedWaits().ioSettleMs;
    for (uint32_t i = 0; i < ArrayCount(w->instances); ++i) {
        PipeInstance* instance = w->instances[i];
        CloseHandleCancelled(instance->pipe);
        const DWORD elapsed = GetTickCount() - start;
        if (instance->state == kInstanceWaiting &&
            WaitForSingleObject(instance->overlapped.hEvent, elapsed < limit ? limit - elapsed : 0) != WAIT_OBJECT_0)
            continue;
        CloseHandle(instance->overlapped.hEvent);
        BlockRelease(instance);  // the array holds it, and the system its OVERLAPPED until here
    }
    // Shrinking never allocates.
    (void)ArrayResize(reinterpret_cast<void**>(&w->instances), 0, sizeof(PipeInstance*));
    (void)ArrayResize(reinterpret_cast<void**>(&w->waits), 1, sizeof(HANDLE));
}

// 0, or the system error that leaves this instance dead.
DWORD CreateInstance(PipeWorker* w, uint32_t i)
{
    PipeInstance* instance = w->instances[i];
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), ArrayCount(w->extra) ? w->extra : nullptr, FALSE};
    HANDLE pipe = CreateNamedPipeA(NameText(w->name), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, 0,
                                   PIPE_UNLIMITED_INSTANCES, kPipeBufferBytes, kPipeBufferBytes,
                                   kPipeDefaultTimeoutMs, &attributes);
    if (pipe == INVALID_HANDLE_VALUE)
        return GetLastError();
    instance->pipe = pipe;
    HANDLE event = instance->overlapped.hEvent;
    instance->overlapped = {};
    instance->overlapped.hEvent = event;
    DWORD error = ConnectNamedPipe(pipe, &instance->overlapped) ? 0 : GetLastError();
    if (error == ERROR_IO_PENDING) {
        instance->state = kInstanceWaiting;
        return 0;
    }
    // A client that arrived before the call (535), even one already gone
    // again (232), is accepted from the thread's loop like any other.
    if (error == 0 || error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) {
        instance->state = kInstanceConnected;
        SetEvent(event);
        return 0;
    }
    instance->state = kInstanceIdle;
    return error;
}

void Accept(PipeWorker* w, uint32_t i)
{
    PipeInstance* instance = w->instances[i];
    assert(instance->state != kInstanceIdle && instance->pipe != INVALID_HANDLE_VALUE && "a client arrived");
    HANDLE pipe = instance->pipe;
    instance->pipe = INVALID_HANDLE_VALUE;
    instance->state = kInstanceIdle;
    if (void* provider = PipeProviderAdopt(pipe)) {
        RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(ObjControlBlockOf(provider));
        // A copy, because the receiver may close this very endpoint.
        ClosureOwner listen = ClosureOwner::Copy(w->listen.get());
        const AddressRecord peer = {sizeof(AddressRecord), kAddressTypePipe};
        (void)NotifyObjectAddress(listen.get(), &peer, provider);
    }
    if (!w->closed)
        CreateInstance(w, i);
}

void OnInstanceSignalled(PipeWorker* w, uint32_t i)
{
    PipeInstance* instance = w->instances[i];
    if (instance->state == kInstanceWaiting) {
        DWORD unused;
        if (!GetOverlappedResult(instance->pipe, &instance->overlapped, &unused, FALSE)) {
            DWORD error = GetLastError();
            if (error == ERROR_IO_INCOMPLETE)
                return;
            if (error != ERROR_PIPE_CONNECTED && error != ERROR_NO_DATA) {
                // A failed connect is no connection: start the slot afresh.
                CloseHandleCancelled(instance->pipe);
                instance->state = kInstanceIdle;
                CreateInstance(w, i);
                return;
            }
        }
    } else if (instance->state != kInstanceConnected) {
        return;
    }
    Accept(w, i);
}

[[nodiscard]] NtStatus Listen(PipeWorker* w, PipeCommand* c)
{
    CloseInstances(w);
    w->listen = ClosureOwner::Copy(c->closure.get());
    const uint32_t count = c->backlog;
    if (ArrayReserve(reinterpret_cast<void**>(&w->instances), count, sizeof(PipeInstance*)) ||
        ArrayReserve(reinterpret_cast<void**>(&w->waits), count + 1, sizeof(HANDLE)))
        return kStatusNoMemory;
    uint32_t made = 0;
    for (; made < count; ++made) {
        BlockOwner<PipeInstance> instance(static_cast<PipeInstance*>(BlockAlloc(sizeof(PipeInstance))));
        HANDLE event = instance ? CreateEventA(nullptr, TRUE, FALSE, nullptr) : nullptr;
        if (!event)
            break;
        *instance = {};
        instance->overlapped.hEvent = event;
        instance->pipe = INVALID_HANDLE_VALUE;
        // Within what was reserved above: neither can fail.
        (void)ArrayResize(reinterpret_cast<void**>(&w->instances), made + 1, sizeof(PipeInstance*));
        (void)ArrayResize(reinterpret_cast<void**>(&w->waits), made + 2, sizeof(HANDLE));
        w->instances[made] = instance.release();  // the system will hold its OVERLAPPED
        w->waits[made + 1] = event;
    }
    if (made < count && made == 0)
        return kStatusNoMemory;
    for (uint32_t i = 0; i < made; ++i) {
        DWORD error = CreateInstance(w, i);
        if (error != 0)
            return i == 0 ? error : kStatusSuccess;  // the pipe transport reports system errors as they are
    }
    return kStatusSuccess;
}

void Finish(PendingPipeIo* io)
{
    RefOwner<PipeWorker> w = std::move(io->worker);  // the worker goes last
    assert(w && "each read or write completes exactly once");
    ListRemove(&w->outstanding, &io->links);
    BlockDelete(io);
}

void CALLBACK WriteDone(DWORD error, DWORD, OVERLAPPED* overlapped)
{
    auto* io = static_cast<PendingPipeIo*>(overlapped->hEvent);
    assert(RunsOnIoThread(io->worker.get()) && "completions run in the I/O thread's alertable waits");
    try {
        (void)CompleteWithStatus(io->closure.get(), error, nullptr, 0);
    } catch (...) {
    }
    Finish(io);
}

void CALLBACK ReadDone(DWORD error, DWORD bytes, OVERLAPPED* overlapped)
{
    auto* io = static_cast<PendingPipeIo*>(overlapped->hEvent);
    assert(RunsOnIoThread(io->worker.get()) && "completions run in the I/O thread's alertable waits");
    try {
        (void)CompleteWithStatusCount(io->closure.get(), error, bytes);
    } catch (...) {
    }
    Finish(io);
}

void Transfer(PipeWorker* w, PipeCommand* c)
{
    assert(!w->closed && "commands queued past the close are cancelled, not run");
    auto* io = BlockNew<PendingPipeIo>();
    if (!io) {
        Complete(c, kStatusNoMemory);
        return;
    }
    ListPushBack(&w->outstanding, &io->links);
    ++w->outstanding.count;
    io->worker = RefOwner<PipeWorker>::AddRef(w);
    io->buffer = HandleOwner::Copy(c->buffer.get());
    io->closure = ClosureOwner::Copy(c->closure.get());
    io->overlapped.hEvent = io;
    const bool write = c->kind == kWrite;
    LPOVERLAPPED_COMPLETION_ROUTINE done = write ? WriteDone : ReadDone;
    BOOL started = write ? WriteFileEx(w->pipe, io->buffer->data, io->buffer->size, &io->overlapped, done)
                         : ReadFileEx(w->pipe, io->buffer->data, io->buffer->size, &io->overlapped, done);
    if (!started) {
        DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            done(error, 0, &io->overlapped);
    }
}

void Connect(PipeWorker* w, PipeCommand* c)
{
    if (w->pipe != INVALID_HANDLE_VALUE) {
        Complete(c, kStatusInvalidState);
        return;
    }
    PipeRecordView view;
    if (PipeRecordRead(c->record.get(), c->record->size, &view) != kStatusSuccess) {
        Complete(c, kStatusInvalidAddress);
        return;
    }
    Str name;
    if (!PipeNameFromRecord(view, &name)) {
        Complete(c, kStatusNoMemory);
        return;
    }
    // A busy pipe is not waited for: its 231 goes to the caller like every
    // other system error, unconverted.
    w->pipe = CreateFileA(NameText(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    Complete(c, w->pipe == INVALID_HANDLE_VALUE ? GetLastError() : kStatusSuccess);
}

void Close(PipeWorker* w, PipeCommand* c)
{
    {
        ScopedLock hold(w->postLock);
        w->closed = 1;
    }
    CloseHandleCancelled(w->pipe);
    CloseInstances(w);
    w->listen.reset();
    Complete(c, kStatusSuccess);
}

void RunCommand(BufferHandle* bound, BufferHandle*)
{
    auto* c = static_cast<PipeCommand*>(bound->data);
    PipeWorker* w = c->worker.get();
    assert(RunsOnIoThread(w) && "the endpoint's handles are used on its I/O thread only");
    if (w->closed) {
        Complete(c, kStatusCancelled);  // still queued when the endpoint closed
        return;
    }
    switch (c->kind) {
    case kClose:
        Close(w, c);
        break;
    case kListen:
        Complete(c, Listen(w, c));
        break;
    case kConnect:
        Connect(w, c);
        break;
    case kDisconnect:
        // No FlushFileBuffers: it would block this thread until the peer has
        // read. Closing (not DisconnectNamedPipe) keeps what was written
        // readable for the peer.
        CloseHandleCancelled(w->pipe);
        Complete(c, kStatusSuccess);
        break;
    case kWrite:
    case kRead:
        Transfer(w, c);
        break;
    }
}

void RunLoop(PipeWorker* w)
{
    while (!w->closed) {
        const DWORD count = ArrayCount(w->waits);
        const DWORD woke = WaitForMultipleObjectsEx(count, w->waits, FALSE, INFINITE, TRUE);
        if (woke == WAIT_OBJECT_0) {
            IoCommandQueueDrain(w->commands);
        } else if (woke > WAIT_OBJECT_0 && woke < WAIT_OBJECT_0 + count) {
            ResetEvent(w->waits[woke - WAIT_OBJECT_0]);
            OnInstanceSignalled(w, woke - WAIT_OBJECT_0 - 1);
        }
    }
    IoCommandQueueDrain(w->commands);  // no post gets in any more; these are cancelled
    // Cancelled reads and writes complete here. One that never does is left
    // with its worker reference: neither is ever freed under the system.
    IoCommandQueueSettle(w->commands, &w->outstanding);
}

DWORD WINAPI PipeIoThreadProc(void* argument)
{
    auto* w = static_cast<PipeWorker*>(argument);
    RefOwner<PipeWorker> held = RefOwner<PipeWorker>::Adopt(w);  // taken by Start for this thread
    try {
        RunLoop(w);
    } catch (...) {
    }
    return 0;
}

// Builds the command and hands it to the I/O thread; once the endpoint is
// closed it completes at once with kStatusInvalidState instead, so nobody waits for
// a command that would never run.
void Post(PipeWorker* w, PipeCommand fields)
{
    HandleOwner command;
    if (BufAlloc(command.put(), nullptr, DestroyCommand, sizeof(PipeCommand)) != kStatusSuccess) {
        Complete(&fields, kStatusNoMemory);
        return;
    }
    auto* c = new (command->data) PipeCommand(std::move(fields));
    c->worker = RefOwner<PipeWorker>::AddRef(w);
    NtStatus status;
    if (RunsOnIoThread(w)) {
        status = w->closed ? kStatusInvalidState : IoCommandQueuePost(w->commands, RunCommand, command.get(), nullptr);
    } else {
        ScopedLock hold(w->postLock);
        status = w->closed ? kStatusInvalidState : IoCommandQueuePost(w->commands, RunCommand, command.get(), nullptr);
    }
    if (!StatusAccepted(status))
        Complete(c, status);
}

PipeCommand NewCommand(uint32_t kind, const Closure* closure)
{
    PipeCommand c;
    c.kind = kind;
    c.closure = ClosureOwner::Copy(closure);
    return c;
}

}  // namespace

PipeWorker::PipeWorker()
{
    InitializeCriticalSection(&postLock);
    ListInit(&outstanding);
}

PipeWorker::~PipeWorker()
{
    assert(ListIsEmpty(&outstanding) && "each read and write in flight holds its worker");
    CloseInstances(this);
    if (pipe != INVALID_HANDLE_VALUE)
        CloseHandle(pipe);
    ArrayFree(reinterpret_cast<void**>(&instances));
    ArrayFree(reinterpret_cast<void**>(&waits));
    ArrayFree(&extra);
    if (commands)
        ObjRelease(commands->exec.cb);  // made by Start for this worker
    DeleteCriticalSection(&postLock);
}

bool PipeWorker::Start()
{
    closed = 1;  // until the thread runs, nothing is accepted
    void* queue;
    if (ObjCreateFromDescriptor(&queue, kIoCommandQueueType) != kStatusSuccess)
        return false;
    commands = static_cast<IoCommandQueue*>(queue);
    if (!commands->event || ArrayResize(reinterpret_cast<void**>(&waits), 1, sizeof(HANDLE)) != kStatusSuccess)
        return false;
    waits[0] = commands->event;
    closed = 0;
    RefOwner<PipeWorker> forThread = RefOwner<PipeWorker>::AddRef(this);
    DWORD id;
    // Suspended until the queue knows its owner, which the thread's routines assert.
    HANDLE thread = CreateThread(nullptr, 0, PipeIoThreadProc, this, CREATE_SUSPENDED, &id);
    if (!thread) {
        closed = 1;
        return false;
    }
    forThread.release();  // the thread's own, dropped when it ends
    commands->owner = id;
    ResumeThread(thread);
    CloseHandle(thread);
    return true;
}

void PipeWorker::PostClose(const Closure* closure) { Post(this, NewCommand(kClose, closure)); }

void PipeWorker::PostListen(const Closure* accept, uint32_t backlog, const Closure* result)
{
    PipeCommand c = NewCommand(kListen, accept);
    c.result = ClosureOwner::Copy(result);
    c.backlog = backlog < 8 ? backlog : 8;
    Post(this, std::move(c));
}

void PipeWorker::PostConnect(const AddressRecord* remote, const Closure* closure)
{
    PipeCommand c = NewCommand(kConnect, closure);
    c.record.reset(RecordDuplicate(remote));
    if (!c.record) {
        (void)CompleteWithStatus(closure, remote ? kStatusNoMemory : kStatusInvalidAddress, nullptr, 0);
        return;
    }
    Post(this, std::move(c));
}

void PipeWorker::PostDisconnect(const Closure* closure) { Post(this, NewCommand(kDisconnect, closure)); }

void PipeWorker::PostWrite(const BufferHandle* buffer, const Closure* closure)
{
    PipeCommand c = NewCommand(kWrite, closure);
    c.buffer = HandleOwner::Copy(buffer);
    Post(this, std::move(c));
}

void PipeWorker::PostRead(const BufferHandle* buffer, const Closure* closure)
{
    PipeCommand c = NewCommand(kRead, closure);
    c.buffer = HandleOwner::Copy(buffer);
    Post(this, std::move(c));
}
