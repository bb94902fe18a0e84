#include "channel/ChannelClient.h"
#include "exec/ClosureOwner.h"
#include "exec/CurrentExecutor.h"
#include <cassert>
#include "runtime/HandleOwner.h"
#include "runtime/MessageView.h"
#include <cstring>

namespace {

void ConstructChannel(void* payload, ControlBlock* cb)
{
    auto* channel = static_cast<ChannelClient*>(payload);
    std::memset(static_cast<void*>(channel), 0, sizeof(*channel));  // an empty Str is a null pointer
    channel->cb = cb;
    // A member that failed to build leaves its flag clear, which ChannelOpen reports.
    (void)ClientMemberCreate(&channel->client, &channel->clientBuilt, cb);
    (void)MsgStreamMemberCreate(&channel->stream, &channel->streamBuilt, cb);
}

void OnClientEvent(void* channel, BufferHandle* message)
{
    ChannelOnClientEvent(static_cast<ChannelClient*>(channel), message);
}

// u32 (dump flag != 0), then the filter with its NUL unless it is absent or empty.
[[nodiscard]] NtStatus BuildHello(BufferHandle* hello, const char* filter, uint32_t dumpFlag)
{
    uint32_t flag = dumpFlag ? 1 : 0;
    size_t length = filter ? std::strlen(filter) : 0;
    if (length > kMaxDeviceFilterLength)
        return kStatusInvalidParameter;
    if (length == 0)
        return BufReallocateCopy(hello, &flag, 4);
    return BufReallocateGather(hello, &flag, 4u, filter, static_cast<uint32_t>(length + 1), nullptr);
}

}  // namespace

NtStatus ChannelOpen(ChannelClient* channel, const char* name, const char* deviceFilter, uint32_t dumpFlag,
                     const AddressRecord* server, const Closure* receiver)
{
    if (!channel->clientBuilt || !channel->streamBuilt)
        return kStatusNoMemory;
    StrAssign(channel->name, name ? name : "");
    ReconnectingClient* client = &channel->client;
    ClosureOwner onEvent;
    BindMember(onEvent.put(), channel, OnClientEvent, nullptr);
    EventHubSubscribeAll(&client->hub, onEvent.get());
    MsgStreamSetDownstream(&channel->stream, &client->stage);
    NtStatus status = StageSetNext(&client->stage, MsgStreamReceiveStage(&channel->stream));
    if (!StatusAccepted(status))
        return status;
    MsgStreamSetReceiver(&channel->stream, receiver);
    status = BuildHello(&channel->hello, deviceFilter, dumpFlag);
    if (status != kStatusSuccess)
        return status;
    status = ClientSetFlags(client, kClientKeepConnected);
    if (!StatusAccepted(status))
        return status;
    status = ClientConnect(client, server, nullptr);
    return StatusAccepted(status) ? kStatusSuccess : status;
}

void ChannelOnClientEvent(ChannelClient* channel, BufferHandle* message)
{
    assert(RunsOnStrand(&channel->client.stage.strand) && "client events are published on the client's strand");
    MessageView<const EventHubMessage> event(message);
    const BufferHandle& payload = event->payload;
    uint32_t code;
    switch (event->code) {
    case ClientEventConnect:
        code = MonitorCodeLogServiceConnect;
        if (payload.size >= 4 && *MessageView<const NtStatus>(&payload) == kStatusSuccess) {
            // A frame the old connection cut off must not swallow the new one's first record.
            // Both posts fail only for want of memory, and then the connect record below
            // still reaches the front end.
            (void)MsgStreamReset(&channel->stream);
            (void)MsgStreamSend(&channel->stream, &channel->hello, nullptr);
        }
        break;
    case ClientEventAccept:
        code = MonitorCodeLogServiceAccept;
        (void)MsgStreamReset(&channel->stream);
        break;
    case ClientEventDisconnect:
        code = MonitorCodeLogServiceClose;
        break;
    default:
        return;
    }
    uint32_t nameBytes = StrLengthOf(channel->name) + 1;
    HandleOwner record;
    if (BufAlloc(record.put(), nullptr, nullptr, 8 + nameBytes + payload.size) != kStatusSuccess)
        return;
    auto* out = static_cast<uint8_t*>(record->data);
    const uint32_t words[2] = {code, 0};
    std::memcpy(out, words, 8);
    std::memcpy(out + 8, channel->name.data ? channel->name.data : "", nameBytes);
    if (payload.size)
        std::memcpy(out + 8 + nameBytes, payload.data, payload.size);
    // A front end whose executor is gone no longer listens.
    (void)ClosureCall(&channel->stream.receiver, record.get());
}

NtStatus ChannelMemberCreate(ChannelClient* channel, uint8_t* constructed, ControlBlock* owner)
{
    return MemberCreate(channel, constructed, ConstructChannel, DestroyChannelClient, owner);
}

void ChannelMemberRelease(ChannelClient* channel, uint8_t* constructed) { MemberRelease(channel, constructed); }

NtStatus ClientMemberCreate(ReconnectingClient* client, uint8_t* constructed, ControlBlock* owner)
{
    return MemberCreate(client, constructed, ClientMemberInit, DestroyClientMember, owner);
}

void ClientMemberRelease(ReconnectingClient* client, uint8_t* constructed) { MemberRelease(client, constructed); }

NtStatus MsgStreamMemberCreate(MsgStream* stream, uint8_t* constructed, ControlBlock* owner)
{
    return MemberCreate(stream, constructed, MsgStreamInit, DestroyMsgStreamMember, owner);
}

void ClientMemberInit(void* client, ControlBlock* cb)
{
    ClientCreate(client, cb);
    auto* c = static_cast<ReconnectingClient*>(client);
    ClientUseReceiveArea(c, c + 1, kChannelReceiveSize, cb->parent);
}

void DestroyChannelClient(void* payload)
{
    auto* channel = static_cast<ChannelClient*>(payload);
    BufHandleRelease(&channel->hello);  // the channel's fixed-layout field, torn down here
    channel->hello = {};
    MemberRelease(&channel->stream, &channel->streamBuilt);
    MemberRelease(&channel->client, &channel->clientBuilt);
    StrDestroy(channel->name);
}

void DestroyClientMember(void* client) { ClientDestroy(client); }
void DestroyMsgStreamMember(void* stream) { MsgStreamDestroy(stream); }
