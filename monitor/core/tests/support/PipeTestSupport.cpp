#include "support/PipeTestSupport.h"
#include "net/CompletionMessage.h"
#include "net/SocketApi.h"
#include "net/SyncWaiter.h"
#include "runtime/ControlBlock.h"

#include <gtest/gtest.h>

std::string UniquePipeName()
{
    static int serial;
    return "\\\\.\\pipe\\quelcore_pipe_test_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(++serial);
}

void Held::Drop()
{
    if (object)
        ObjRelease(ObjControlBlockOf(object));
    object = nullptr;
}

AddressRecord* Record(const std::string& name) { return PipeAddressFromNameA(name.c_str(), nullptr, 0); }

std::string RecordBytes(const AddressRecord* r) { return std::string(reinterpret_cast<const char*>(r), r->size); }

NtStatus ConnectSync(const AddressRecord* remote, Held* socket)
{
    SyncWaiter waiter;
    SockConnect(remote, nullptr, 0, waiter.closure());
    const BufferHandle& message = waiter.Wait();
    if (waiter.Status() == kStatusSuccess) {
        socket->object = static_cast<const StatusObjectRemoteLocalMessage*>(message.data)->object.object;
        ObjAddRef(ObjControlBlockOf(socket->object));
    }
    return waiter.Status();
}

std::string ReceiveSync(void* socket, uint32_t bufferBytes)
{
    BufferHandle buffer;
    EXPECT_TRUE(StatusAccepted(BufAlloc(&buffer, nullptr, nullptr, bufferBytes)));
    SyncWaiter waiter;
    SockReceive(socket, &buffer, waiter.closure());
    auto* done = static_cast<const StatusCountMessage*>(waiter.Wait().data);
    std::string result = done->status ? "error " + std::to_string(done->status)
                                      : std::string(static_cast<const char*>(buffer.data), done->count);
    BufHandleRelease(&buffer);
    return result;
}

void ReceivePending(void* socket, uint32_t bufferBytes, const Closure* closure)
{
    BufferHandle buffer;
    EXPECT_TRUE(StatusAccepted(BufAlloc(&buffer, nullptr, nullptr, bufferBytes)));
    SockReceive(socket, &buffer, closure);
    BufHandleRelease(&buffer);
}

NtStatus SendSync(void* socket, const std::string& bytes)
{
    BufferHandle buffer;
    EXPECT_TRUE(StatusAccepted(BufAllocCopy(&buffer, bytes.data(), uint32_t(bytes.size()))));
    SyncWaiter waiter;
    SockSend(socket, &buffer, waiter.closure());
    waiter.Wait();
    BufHandleRelease(&buffer);
    return waiter.Status();
}

NtStatus CloseSync(void* socket)
{
    SyncWaiter waiter;
    SockClose(socket, 0, waiter.closure());
    waiter.Wait();
    return waiter.Status();
}
