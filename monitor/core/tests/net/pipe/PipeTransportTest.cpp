#include "net/AddressRecordReader.h"
#include "net/CompletionMessage.h"
#include "net/FamilyRegistry.h"
#include "net/ListenerBase.h"
#include "net/pipe/PipeName.h"
#include "net/pipe/PipeProvider.h"
#include "net/pipe/PipeWorker.h"
#include "net/SocketApi.h"
#include "net/SyncWaiter.h"
#include "exec/ClosureOwner.h"
#include "runtime/BlockOwner.h"
#include "runtime/FixedWaits.h"
#include "runtime/RefOwner.h"
#include "runtime/ScopedLock.h"
#include "runtime/TrackedBlock.h"
#include "support/CoreTestFixture.h"
#include "support/PipeTestSupport.h"
#include "support/StuckIo.h"
#include "support/TestThreads.h"
#include <aclapi.h>
#include <string>
#include <vector>

namespace {

// A pipe server written against the system alone, one instance per object.
class RawPipeServer {
public:
    explicit RawPipeServer(const std::string& name, DWORD instances = 1)
        : pipe_(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, 0, instances,
                                 4096, 4096, 0, nullptr))
    {
        overlapped_.hEvent = event_.handle();
        if (!ConnectNamedPipe(pipe_, &overlapped_) && GetLastError() == ERROR_PIPE_CONNECTED)
            event_.Set();
    }
    ~RawPipeServer() { Close(); }
    bool WaitClient() { return event_.Wait(); }
    DWORD Write(const std::string& bytes)
    {
        DWORD n;
        return Finish(WriteFile(pipe_, bytes.data(), DWORD(bytes.size()), nullptr, &Reset()), &n);
    }
    // The bytes read, or the system error as "error N".
    std::string Read()
    {
        char buffer[256];
        DWORD n = 0;
        DWORD error = Finish(ReadFile(pipe_, buffer, sizeof(buffer), nullptr, &Reset()), &n);
        return error ? "error " + std::to_string(error) : std::string(buffer, n);
    }
    void Close()
    {
        if (pipe_ != INVALID_HANDLE_VALUE)
            CloseHandle(pipe_);
        pipe_ = INVALID_HANDLE_VALUE;
    }

private:
    OVERLAPPED& Reset()
    {
        overlapped_ = {};
        overlapped_.hEvent = event_.handle();
        return overlapped_;
    }
    DWORD Finish(BOOL done, DWORD* n)
    {
        if (!done && GetLastError() != ERROR_IO_PENDING)
            return GetLastError();
        return GetOverlappedResult(pipe_, &overlapped_, n, TRUE) ? 0 : GetLastError();
    }

    HANDLE pipe_;
    TestEvent event_;
    OVERLAPPED overlapped_ = {};
};

// A client end opened by the test itself, to reach the core's server pipes.
struct RawPipeClient {
    HANDLE pipe;
    DWORD error;
    // Waits for a free instance as a well-behaved client does.
    explicit RawPipeClient(const std::string& name)
    {
        for (;;) {
            pipe = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            error = pipe == INVALID_HANDLE_VALUE ? GetLastError() : 0;
            if (error != ERROR_PIPE_BUSY || !WaitNamedPipeA(name.c_str(), 30000))
                return;
        }
    }
    ~RawPipeClient()
    {
        if (pipe != INVALID_HANDLE_VALUE)
            CloseHandle(pipe);
    }
    bool Write(const std::string& bytes)
    {
        DWORD n;
        return WriteFile(pipe, bytes.data(), DWORD(bytes.size()), &n, nullptr) && n == bytes.size();
    }
};

// Collects accepted sockets (with references of its own) from the I/O thread.
struct AcceptLog {
    CRITICAL_SECTION lock;
    std::vector<RefOwner<void>> sockets;
    std::vector<std::string> remotes;
    HANDLE changed = CreateSemaphoreA(nullptr, 0, 100, nullptr);
    ClosureOwner closure;

    AcceptLog()
    {
        InitializeCriticalSection(&lock);
        BufferHandle self = {this, nullptr, 0, 0};
        ClosureInit(closure.put(), Record, nullptr, &self);
    }
    ~AcceptLog()
    {
        closure.reset();
        sockets.clear();
        CloseHandle(changed);
        DeleteCriticalSection(&lock);
    }
    bool WaitOne(DWORD ms = 30000) { return WaitForSingleObject(changed, ms) == WAIT_OBJECT_0; }
    static void Record(BufferHandle* bound, BufferHandle* message)
    {
        auto* self = static_cast<AcceptLog*>(bound->data);
        MessageView<const ObjectRecordMessage> accepted(message);
        ScopedLock hold(self->lock);
        self->sockets.push_back(RefOwner<void>::AddRef(accepted->object.object));
        self->remotes.emplace_back(reinterpret_cast<const char*>(&accepted->record), accepted->record.size);
        ReleaseSemaphore(self->changed, 1, nullptr);
    }
};

class PipeTransport : public CoreTest {};

TEST_F(PipeTransport, ClientExchangesBytesAndReadsWhatTheServerWroteBeforeItClosed)
{
    const std::string name = UniquePipeName();
    RawPipeServer server(name);
    BlockOwner<AddressRecord> remote(Record(name));
    Held socket;
    ASSERT_EQ(ConnectSync(remote.get(), &socket), kStatusSuccess);
    ASSERT_TRUE(server.WaitClient());
    const AddressRecord defaultLocal = {8, kAddressTypePipe};
    EXPECT_EQ(RecordBytes(SockLocalRecord(socket.object)), RecordBytes(&defaultLocal));
    EXPECT_EQ(RecordBytes(SockRemoteRecord(socket.object)), RecordBytes(remote.get()));

    EXPECT_EQ(SendSync(socket.object, "hello"), kStatusSuccess);
    EXPECT_EQ(server.Read(), "hello");
    EXPECT_EQ(server.Write("bye"), 0u);
    server.Close();
    EXPECT_EQ(ReceiveSync(socket.object), "bye");
    EXPECT_EQ(ReceiveSync(socket.object), "error 109") << "broken pipe, unconverted";
    EXPECT_NE(SendSync(socket.object, "late"), kStatusSuccess);
}

TEST_F(PipeTransport, ClientCloseEndsTheConnectionForTheServerWithoutLosingWrittenBytes)
{
    const std::string name = UniquePipeName();
    RawPipeServer server(name);
    BlockOwner<AddressRecord> remote(Record(name));
    Held socket;
    ASSERT_EQ(ConnectSync(remote.get(), &socket), kStatusSuccess);
    EXPECT_EQ(SendSync(socket.object, "last words"), kStatusSuccess);
    EXPECT_EQ(CloseSync(socket.object), kStatusSuccess) << "the close does not wait for the reader";
    EXPECT_EQ(server.Read(), "last words");
    EXPECT_EQ(server.Read(), "error 109");
    EXPECT_NE(ReceiveSync(socket.object), "") << "a read after the close fails at once";
}

TEST_F(PipeTransport, ConnectFailuresReportTheSystemErrorUnconverted)
{
    const std::string name = UniquePipeName();
    BlockOwner<AddressRecord> remote(Record(name));
    Held socket;
    EXPECT_EQ(ConnectSync(remote.get(), &socket), 2u) << "no such pipe";
    {
        RawPipeServer server(name);
        RawPipeClient first(name);
        ASSERT_EQ(first.error, 0u);
        EXPECT_EQ(ConnectSync(remote.get(), &socket), 231u) << "its only instance is taken";
    }
    EXPECT_EQ(socket.object, nullptr);

    // A wide record reaches the system in the narrow code page.
    const std::wstring wide(name.begin(), name.end());
    RawPipeServer server(name);
    remote.reset(PipeAddressFromNameW(wide.c_str(), nullptr, 0));
    EXPECT_EQ(ConnectSync(remote.get(), &socket), kStatusSuccess);
}

TEST_F(PipeTransport, DroppingTheSocketCancelsItsPendingReadBeforeTheThreadEnds)
{
    const std::string name = UniquePipeName();
    RawPipeServer server(name);
    BlockOwner<AddressRecord> remote(Record(name));
    Held socket;
    ASSERT_EQ(ConnectSync(remote.get(), &socket), kStatusSuccess);
    SyncWaiter read;
    ReceivePending(socket.object, 16, read.closure());
    socket.Drop();
    MessageView<const StatusCountMessage> done(&read.Wait());
    EXPECT_EQ(done->status, uint32_t(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(done->count, 0u);
    EXPECT_EQ(server.Read(), "error 109");
}

// Dropped while a read is pending and the server still connected: the
// shut-down's wait covers the endpoint's teardown (and the leak check sees it done).
TEST_F(PipeTransport, ShutDownWithAConnectionOpen)
{
    const std::string name = UniquePipeName();
    RawPipeServer server(name);
    BlockOwner<AddressRecord> remote(Record(name));
    Held socket;
    ASSERT_EQ(ConnectSync(remote.get(), &socket), kStatusSuccess);
    ReceivePending(socket.object, 16, nullptr);
}

// A closed endpoint waits for its cancelled I/O only so long: an operation
// the system never gives back does not keep its thread (and the exit) for ever.
TEST_F(PipeTransport, AClosedEndpointGivesUpOnIoThatNeverComesBack)
{
    CoreFixedWaits().ioSettleMs = 200;
    PipeProvider* provider = PipeProviderCreate();
    ASSERT_NE(provider, nullptr);
    RefOwner<ControlBlock> endpoint = RefOwner<ControlBlock>::Adopt(provider->cb);
    RefOwner<ControlBlock> worker = RefOwner<ControlBlock>::AddRef(provider->worker->cb);
    StuckIo stuck;
    ASSERT_TRUE(stuck.Start(provider->worker->commands, &provider->worker->outstanding));
    endpoint.reset();  // closes the endpoint
    EXPECT_TRUE(StuckIo::WaitStrongCount(worker.get(), 1)) << "the I/O thread waited for ever";
    stuck.Unlink();
}

TEST_F(PipeTransport, OperationsAfterAnEndpointClosedCompleteAtOnce)
{
    BlockOwner<AddressRecord> local(Record(UniquePipeName()));
    Held raw;
    ASSERT_EQ(SockOpenSync(&raw.object, local.get()), kStatusSuccess);
    RawEndpointCloseSync(raw.object);
    RawEndpointCloseSync(raw.object);  // must not hang: the thread has gone

    SyncWaiter again;
    RawEndpointClose(raw.object, again.closure());
    again.Wait();
    EXPECT_EQ(again.Status(), kStatusInvalidState);

    // Pipes offer no datagrams; answered on the calling thread.
    SyncWaiter sendTo, receiveFrom;
    BufferHandle none = {};
    RawEndpointSendTo(raw.object, &none, local.get(), sendTo.closure());
    RawEndpointReceiveFrom(raw.object, &none, receiveFrom.closure());
    sendTo.Wait();
    receiveFrom.Wait();
    EXPECT_EQ(sendTo.Status(), kStatusNotImplemented);
    EXPECT_EQ(receiveFrom.Status(), kStatusNotImplemented);
}

// A command posted behind a close is either still queued when the endpoint
// closes (cancelled) or refused once it has (invalid state): it never waits.
TEST_F(PipeTransport, CommandsBehindACloseCompleteAsCancelledOrRefused)
{
    BlockOwner<AddressRecord> local(Record(UniquePipeName()));
    for (int round = 0; round < 20; ++round) {
        Held raw;
        ASSERT_EQ(SockOpenSync(&raw.object, local.get()), kStatusSuccess);
        SyncWaiter first, second;
        RawEndpointClose(raw.object, first.closure());
        RawEndpointClose(raw.object, second.closure());
        first.Wait();
        second.Wait();
        EXPECT_EQ(first.Status(), kStatusSuccess);
        EXPECT_TRUE(second.Status() == kStatusCancelled || second.Status() == kStatusInvalidState)
            << std::hex << second.Status();
    }
}

TEST_F(PipeTransport, ServerAcceptsSeveralClientsAndExchangesBytes)
{
    const std::string name = UniquePipeName();
    BlockOwner<AddressRecord> record(Record(name));
    AcceptLog log;
    Held listener;
    ASSERT_EQ(SockListenSync(&listener.object, record.get(), log.closure.get(), 2), kStatusSuccess);
    RawPipeClient a(name), b(name), c(name);
    for (RawPipeClient* client : {&a, &b, &c})
        ASSERT_EQ(client->error, 0u) << "each accept re-arms its slot";
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(log.WaitOne());
    const AddressRecord peer = {8, kAddressTypePipe};
    ScopedLock hold(log.lock);
    for (size_t i = 0; i < log.sockets.size(); ++i) {
        EXPECT_EQ(log.remotes[i], RecordBytes(&peer));
        EXPECT_EQ(RecordBytes(SockLocalRecord(log.sockets[i].get())), RecordBytes(record.get()));
    }
    for (const RefOwner<void>& s : log.sockets)
        EXPECT_EQ(SendSync(s.get(), "hi"), kStatusSuccess);
    char buffer[8];
    DWORD n;
    ASSERT_TRUE(ReadFile(a.pipe, buffer, sizeof(buffer), &n, nullptr));
    EXPECT_EQ(std::string(buffer, n), "hi");
    SockListenerCloseSync(listener.object);
    // The accepted pipes keep the name alive, but no instance waits any more.
    HANDLE late = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(late, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PIPE_BUSY));
}

TEST_F(PipeTransport, ListenBacklogZeroAcceptsNothingAndABadNameFailsTheListen)
{
    const std::string name = UniquePipeName();
    BlockOwner<AddressRecord> record(Record(name));
    AcceptLog log;
    Held listener;
    ASSERT_EQ(SockListenSync(&listener.object, record.get(), log.closure.get(), 0), kStatusSuccess);
    RawPipeClient client(name);
    EXPECT_EQ(client.error, 2u);

    record.reset(PipeAddressFromNameA("\\not a pipe path", nullptr, 0));
    Held failed;
    EXPECT_NE(SockListenSync(&failed.object, record.get(), log.closure.get(), 1), kStatusSuccess);
    EXPECT_EQ(failed.object, nullptr);
}

TEST_F(PipeTransport, ClosingAListenerWithConnectsPendingFreesEveryInstance)
{
    const std::string name = UniquePipeName();
    BlockOwner<AddressRecord> record(Record(name));
    AcceptLog log;
    for (int round = 0; round < 3; ++round) {
        Held listener;
        ASSERT_EQ(SockListenSync(&listener.object, record.get(), log.closure.get(), 100), kStatusSuccess);
        SockListenerCloseSync(listener.object);
    }
    Held dropped;  // dropped without a close: the provider closes it
    ASSERT_EQ(SockListenSync(&dropped.object, record.get(), log.closure.get(), 8), kStatusSuccess);
}

// The waiting instances of a listener: its provider's worker, read after the
// listen has completed and before any client arrives.
PipeWorker* ListenerWorker(void* listener)
{
    auto* provider = ProviderFromRef(static_cast<ListenerBase*>(listener)->provider.object);
    return static_cast<PipeProvider*>(provider)->worker.get();
}

// A waiting instance whose connect fails is started afresh on its slot: with
// one slot only, the next client still gets in.
TEST_F(PipeTransport, AFailedConnectOfAWaitingInstanceReArmsItsSlot)
{
    using CancelIoExRoutine = BOOL(WINAPI*)(HANDLE, OVERLAPPED*);
    auto cancel = reinterpret_cast<CancelIoExRoutine>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CancelIoEx")));
    ASSERT_NE(cancel, nullptr);
    const std::string name = UniquePipeName();
    BlockOwner<AddressRecord> record(Record(name));
    AcceptLog log;
    Held listener;
    ASSERT_EQ(SockListenSync(&listener.object, record.get(), log.closure.get(), 1), kStatusSuccess);
    PipeInstance* instance = ListenerWorker(listener.object)->instances[0];
    ASSERT_TRUE(cancel(instance->pipe, &instance->overlapped)) << GetLastError();

    // The system may still let a client in on the cancelled instance, which
    // the slot then closes without an accept: such a client tries again.
    HANDLE client = INVALID_HANDLE_VALUE;
    bool accepted = false;
    for (DWORD start = GetTickCount(); !accepted && GetTickCount() - start < 10000;) {
        client = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (client == INVALID_HANDLE_VALUE) {
            Sleep(10);
            continue;
        }
        accepted = log.WaitOne(200);
        if (!accepted)
            CloseHandle(client);
    }
    ASSERT_TRUE(accepted) << "the slot of the failed connect accepts nothing";
    EXPECT_EQ(SendSync(log.sockets[0].get(), "in"), kStatusSuccess);
    char buffer[4];
    DWORD n;
    ASSERT_TRUE(ReadFile(client, buffer, sizeof(buffer), &n, nullptr));
    EXPECT_EQ(std::string(buffer, n), "in");
    CloseHandle(client);
}

// The extra data of a listener's record is the security descriptor of the
// pipes it makes: a client of such a pipe reads it back.
TEST_F(PipeTransport, TheRecordsSecurityDescriptorReachesThePipes)
{
    // Allow everyone to use the pipe and read its descriptor; nothing else.
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    const DWORD rights = FILE_GENERIC_READ | FILE_GENERIC_WRITE | READ_CONTROL;
    alignas(4) char aclBytes[128];
    auto* acl = reinterpret_cast<ACL*>(aclBytes);
    ASSERT_TRUE(InitializeAcl(acl, sizeof(aclBytes), ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, rights, everyone));
    SECURITY_DESCRIPTOR absolute;
    ASSERT_TRUE(InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&absolute, TRUE, acl, FALSE));
    alignas(4) char relative[256];
    DWORD relativeBytes = sizeof(relative);
    ASSERT_TRUE(MakeSelfRelativeSD(&absolute, relative, &relativeBytes));

    const std::string name = UniquePipeName();
    BlockOwner<AddressRecord> record(PipeAddressFromNameA(name.c_str(), relative, relativeBytes));
    AcceptLog log;
    Held listener;
    ASSERT_EQ(SockListenSync(&listener.object, record.get(), log.closure.get(), 1), kStatusSuccess);
    RawPipeClient client(name);
    ASSERT_EQ(client.error, 0u);
    PSECURITY_DESCRIPTOR seen = nullptr;
    ACL* dacl = nullptr;
    ASSERT_EQ(GetSecurityInfo(client.pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &seen),
              DWORD(ERROR_SUCCESS));
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 1u);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Mask, rights);
    EXPECT_TRUE(EqualSid(&ace->SidStart, everyone));
    LocalFree(seen);
    FreeSid(everyone);
}

TEST_F(PipeTransport, NameFromRecordGivesTheNarrowNameOrNone)
{
    const AddressRecord defaultRecord = {8, kAddressTypePipe};
    struct EmptyName {
        AddressRecord header;
        uint32_t flags;
        uint16_t terminator;
    };
    const EmptyName emptyNarrow = {{13, kAddressTypePipe}, 0, 0};
    const EmptyName emptyWide = {{14, kAddressTypePipe}, 1, 0};
    struct Case {
        AddressRecord* record;
        const char* name;
    };
    const Case cases[] = {
        {PipeAddressFromNameA("\\\\.\\pipe\\narrow", nullptr, 0), "\\\\.\\pipe\\narrow"},
        {PipeAddressFromNameW(L"\\\\.\\pipe\\wide", nullptr, 0), "\\\\.\\pipe\\wide"},
        // Through the ANSI code page (1252 or 1251, both with the euro sign); a
        // character it holds no exact form of would name another pipe.
        {PipeAddressFromNameW(L"\\\\.\\pipe\\\x20AC", nullptr, 0), "\\\\.\\pipe\\\x80"},
        {PipeAddressFromNameW(L"\\\\.\\pipe\\\x4E2D", nullptr, 0), ""},
        {RecordDuplicate(&emptyNarrow.header), ""},
        {RecordDuplicate(&emptyWide.header), ""},
        {RecordDuplicate(&defaultRecord), ""},
    };
    for (const Case& c : cases) {
        BlockOwner<AddressRecord> record(c.record);
        PipeRecordView view;
        ASSERT_EQ(PipeRecordRead(c.record, c.record->size, &view), kStatusSuccess) << c.name;
        Str name;
        StrAssign(name, "stale");
        ASSERT_TRUE(PipeNameFromRecord(view, &name));
        EXPECT_EQ(StrCompare(name, c.name), 0) << c.name;
        EXPECT_EQ(StrLengthOf(name), strlen(c.name));
    }
}

TEST_F(PipeTransport, FactoryRejectsRecordsThatAreNotPipeRecords)
{
    struct Bad {
        AddressRecord header;
        uint32_t flags;
        char name[4];
    };
    const Bad records[] = {
        {{16, kAddressTypeTcp}, 0, "abc"},     // another family's record
        {{15, kAddressTypePipe}, 0, "abc"},    // no terminator in the name
        {{16, kAddressTypePipe}, 9 << 1, "abc"},  // extra offset inside the header
    };
    FamilyFactory factory = FindFamilyProvider(kFamilyPipe);
    for (const Bad& bad : records) {
        SyncWaiter waiter;
        factory(&bad.header, waiter.closure());
        waiter.Wait();
        EXPECT_EQ(waiter.Status(), kStatusInvalidAddress);
        EXPECT_EQ(RecordBytes(reinterpret_cast<const AddressRecord*>(
                      static_cast<const char*>(waiter.Wait().data) + 8)),
                  std::string(reinterpret_cast<const char*>(&bad), bad.header.size));
    }
    // The extra data must be a security descriptor.
    const char junk[24] = "not a descriptor";
    BlockOwner<AddressRecord> withJunk(PipeAddressFromNameA("x", junk, sizeof(junk)));
    void* raw;
    EXPECT_EQ(SockOpenSync(&raw, withJunk.get()), kStatusInvalidAddress);
}

}  // namespace
