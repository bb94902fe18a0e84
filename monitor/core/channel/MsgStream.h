#pragma once
#include "channel/FrameDecoder.h"
#include "channel/StreamStage.h"

// Cuts the byte stream from the log service into messages and frames outgoing
// ones. Received bytes are written into the receive stage, whose consumer is
// the frame decoder running on the stream's strand. Each message goes to the
// receiver closure, and nothing further is parsed until every holder of that
// message has released it: the receive stage keeps the bytes meanwhile and so
// holds back the reader in front of it.
struct MsgStream {
    ControlBlock* cb;
    Strand strand;            // all receive work runs on it
    StreamStage* downstream;  // strong: where frames are written, or none
    StreamStage receive;      // member with its own control block (parent: the stream)
    uint8_t receiveBuilt;
    uint32_t oldPieces;       // pieces of the last connection still queued when a new one began
    Closure receiver;
    FrameDecoder decoder;
    BufferHandle current;     // the message being collected, release notifier in front
};

static_assert(sizeof(void*) == 4, "message streams are laid out in 32-bit words");

void MsgStreamInit(void* stream, ControlBlock* cb);
void MsgStreamDestroy(void* stream);
extern const TypeDescriptor kMsgStreamType;

// The stage into which received bytes are written, or null when it could not be made.
StreamStage* MsgStreamReceiveStage(MsgStream* stream);
void MsgStreamSetReceiver(MsgStream* stream, const Closure* receiver);
void MsgStreamSetDownstream(MsgStream* stream, StreamStage* downstream);

// One frame whose payload is the given handles in order, list ending with a
// null pointer; the payload bytes are not copied. Header and payload reach the
// downstream as one unit, so frames of concurrent senders never interleave.
// The posting status; kStatusInvalidParameter for a payload above 65535 bytes and
// kStatusInvalidState without downstream or for a handle whose object is gone (then
// nothing is sent); kStatusNoMemory.
[[nodiscard]] NtStatus MsgStreamSend(MsgStream* stream, const BufferHandle* first, ...);
// The same from (pointer, uint32 length) pairs ending with a null pointer, copied into one buffer.
[[nodiscard]] NtStatus MsgStreamSendBytes(MsgStream* stream, const void* first, uint32_t firstLength, ...);

// To be called at every new connection, before its bytes are written: a frame
// cut off by the old connection is dropped instead of being completed with the
// new one's bytes. Complete messages still queued from the old one are kept:
// the cut applies once every piece queued at the reset is used up (or dropped).
[[nodiscard]] NtStatus MsgStreamReset(MsgStream* stream);

// The receive stage's consumer (bound: the stream, weakly) and the acknowledge
// step that runs when a delivered message is released.
void MsgStreamOnData(BufferHandle* bound, BufferHandle* message);
void MsgStreamAck(BufferHandle* bound, BufferHandle* message);
