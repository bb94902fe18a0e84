#include "support/PipeTestSupport.h"
#include "net/CompletionMessage.h"
#include "net/SocketApi.h"
#include "net/SyncWaiter.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include <utility>

#include <gtest/gtest.h>

std::string UniquePipeName()
{
    static int serial;
    return "\\\\.\\pipe\\quelcore_pipe_test_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(++serial);
}

void Held::Drop()
{
    RefOwner<void> dropped = RefOwner<void>::Adopt(std::exchange(object, nullptr));
}

AddressRecord* Record(const std::string& name) { return PipeAddressFromNameA(name.c_str(), nullptr, 0); }

std::string RecordBytes(const AddressRecord* r) { return std::string(reinterpret_cast<const char*>(r), r->size); }

NtStatus ConnectSync(const AddressRecord* remote, Held* socket)
{
    SyncWaiter waiter;
    SockConnect(remote, nullptr, 0, waiter.closure());
    const BufferHandle& message = waiter.Wait();
    if (waiter.Status() == kStatusSuccess) {
        socket->object = MessageView<const StatusObjectRemoteLocalMessage>(&message)->object.object;
        ObjAddRef(ObjControlBlockOf(socket->object));
    }
    return waiter.Status();
}

std::string ReceiveSync(void* socket, uint32_t bufferBytes)
{
    HandleOwner buffer;
    EXPECT_TRUE(StatusAccepted(BufAlloc(buffer.put(), nullptr, nullptr, bufferBytes)));
    SyncWaiter waiter;
    SockReceive(socket, buffer.get(), waiter.closure());
    MessageView<const StatusCountMessage> done(&waiter.Wait());
    return done->status ? "error " + std::to_string(done->status)
                        : std::string(static_cast<const char*>(buffer->data), done->count);
}

void ReceivePending(void* socket, uint32_t bufferBytes, const Closure* closure)
{
    HandleOwner buffer;
    EXPECT_TRUE(StatusAccepted(BufAlloc(buffer.put(), nullptr, nullptr, bufferBytes)));
    SockReceive(socket, buffer.get(), closure);
}

NtStatus SendSync(void* socket, const std::string& bytes)
{
    HandleOwner buffer;
    EXPECT_TRUE(StatusAccepted(BufAllocCopy(buffer.put(), bytes.data(), uint32_t(bytes.size()))));
    SyncWaiter waiter;
    SockSend(socket, buffer.get(), waiter.closure());
    waiter.Wait();
    return waiter.Status();
}

NtStatus CloseSync(void* socket)
{
    SyncWaiter waiter;
    SockClose(socket, 0, waiter.closure());
    waiter.Wait();
    return waiter.Status();
}
