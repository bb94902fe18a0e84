#pragma once
#include "channel/FrameDecoder.h"
#include "channel/MsgStream.h"
#include "channel/ReconnectingClient.h"
#include "containers/Str.h"
#include "exec/MemberBinding.h"
#include "runtime/MemberEmbedding.h"

// The longest device filter an opening request carries in one frame: the
// request is the u32 dump flag, then the filter and its NUL.
constexpr uint32_t kMaxDeviceFilterLength = kFrameMaxPayload - 4 - 1;

// A front end's subscription to the log service: a reconnecting client with
// the message codec on top. After every successful connect it sends the
// opening request (u32 dump flag, then the device filter with its NUL, or
// nothing), and it delivers to the front end's one closure both the records
// of the service and records made from its own connection events.

// Records delivered as the data of a buffer handle: u32 code, u32 second word
// (0 in the records the channel makes), the device name with its NUL (the
// channel name in records 6 to 8), then the code's payload to the end.
enum MonitorRecordCode : uint32_t {
    MonitorCodeTxData = 9,
    MonitorCodeRxData = 10,
    MonitorCodeLogServiceConnect = 6,  // u32 status, remote record, local record
    MonitorCodeLogServiceAccept = 7,   // peer record
    MonitorCodeLogServiceClose = 8,    // u32 reason, remote record, local record
};

constexpr uint32_t kChannelReceiveSize = 256;

// Embedded in a monitor object (ChannelMemberCreate, ChannelMemberRelease).
struct ChannelClient {
    ControlBlock* cb;
    Str name;
    ReconnectingClient client;
    uint8_t clientReceiveArea[kChannelReceiveSize];  // right behind the client: its reads go here
    uint8_t clientBuilt;
    MsgStream stream;
    uint8_t streamBuilt;
    BufferHandle hello;
};

static_assert(offsetof(ChannelClient, clientReceiveArea) ==
                  offsetof(ChannelClient, client) + sizeof(ReconnectingClient),
              "the receive area follows the client");

// Stores the name, wires client and codec, keeps the opening request and
// connects to the server for good (reconnecting after every loss). Records go
// to `receiver`, which the channel copies; bind it with BindMember to the
// monitor object so that records for an object being destroyed are dropped.
// 0; kStatusInvalidParameter when the opening request would not fit in one frame, or
// kStatusNoMemory: the channel then stays idle.
[[nodiscard]] NtStatus ChannelOpen(ChannelClient* channel, const char* name, const char* deviceFilter,
                                   uint32_t dumpFlag, const AddressRecord* server, const Closure* receiver);
// Subscriber of the client's hub (on the client's strand, inside the publication).
void ChannelOnClientEvent(ChannelClient* channel, BufferHandle* message);

// Member creation and release of the embedded types; `owner` is the object's control block.
[[nodiscard]] NtStatus ChannelMemberCreate(ChannelClient* channel, uint8_t* constructed, ControlBlock* owner);
void ChannelMemberRelease(ChannelClient* channel, uint8_t* constructed);
[[nodiscard]] NtStatus ClientMemberCreate(ReconnectingClient* client, uint8_t* constructed, ControlBlock* owner);
void ClientMemberRelease(ReconnectingClient* client, uint8_t* constructed);
[[nodiscard]] NtStatus MsgStreamMemberCreate(MsgStream* stream, uint8_t* constructed, ControlBlock* owner);
// ClientCreate, then reads go to the 256 bytes behind the client (held weakly on the owner).
void ClientMemberInit(void* client, ControlBlock* cb);
void DestroyChannelClient(void* channel);
void DestroyClientMember(void* client);
void DestroyMsgStreamMember(void* stream);
