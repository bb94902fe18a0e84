#include "channel/MsgStream.h"
#include "exec/ClosureOwner.h"
#include "exec/CurrentExecutor.h"
#include "exec/ReleaseNotifier.h"
#include "runtime/HandleOwner.h"
#include "runtime/MessageView.h"
#include <cassert>
#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <utility>

namespace {

// A frame travelling to the downstream's executor: header and payload pieces.
struct FrameRecord {
    uint8_t header[kFrameHeaderSize];
    uint32_t count;
    BufferHandle pieces[1];
};

void DestroyFrameRecord(void* payload)
{
    auto* record = static_cast<FrameRecord*>(payload);
    for (uint32_t i = 0; i < record->count; ++i)
        BufHandleRelease(&record->pieces[i]);  // the record's own layout, torn down here
}

// Runs on the downstream's executor: every piece written back to back.
void WriteFrame(BufferHandle* bound, BufferHandle* message)
{
    auto* stage = static_cast<StreamStage*>(bound->data);
    assert(RunsOnExecutor(StageExecutor(stage)) && "a frame is written on the downstream's executor");
    MessageView<FrameRecord> record(message);
    BufferHandle header = {record->header, message->cb, 0, kFrameHeaderSize};
    StageWriteNow(stage, &header);
    for (uint32_t i = 0; i < record->count; ++i)
        StageWriteNow(stage, &record->pieces[i]);
}

uint8_t* PayloadOf(const BufferHandle& message)
{
    return static_cast<uint8_t*>(message.data) + sizeof(ReleaseNotifier);
}

uint8_t* BeginPayload(void* context, uint32_t length)
{
    auto* s = static_cast<MsgStream*>(context);
    if (BufAlloc(&s->current, ReleaseNotifierInit, ReleaseNotifierFire,
                 sizeof(ReleaseNotifier) + length) != kStatusSuccess)
        return nullptr;
    return PayloadOf(s->current);
}

void Deliver(void* context)
{
    auto* s = static_cast<MsgStream*>(context);
    // The acknowledgement is armed only now: a partly collected message that is
    // dropped must not resume anything.
    auto* notifier = static_cast<ReleaseNotifier*>(s->current.data);
    ClosureInitForObject(&notifier->closure, MsgStreamAck, &s->strand.exec, s, 0, 1);
    // The collected message's reference passes from `current` to the message.
    HandleOwner message = HandleOwner::Adopt({PayloadOf(s->current), s->current.cb, 0, s->decoder.length});
    s->current = {};
    // A receiver whose executor is gone drops the message, and its release acknowledges it.
    (void)ClosureCall(&s->receiver, message.get());
}

// Lets go of the message being collected: there is one only while a payload is.
void DropCurrent(MsgStream* s) { HandleOwner::Adopt(std::exchange(s->current, BufferHandle{})).reset(); }

void DropPartialMessage(MsgStream* s)
{
    FrameDecoderReset(&s->decoder);
    DropCurrent(s);
    s->oldPieces = 0;
}

void RunReset(BufferHandle* bound, BufferHandle*)
{
    auto* s = static_cast<MsgStream*>(bound->data);
    assert(RunsOnStrand(&s->strand) && "a reset runs on the stream's strand");
    // Old bytes still queued are parsed first; the cut applies once they are
    // used up. The new connection's bytes are written after this runs, so
    // whatever the queue holds now is the old connection's.
    s->oldPieces = s->receiveBuilt ? s->receive.queue.count : 0;
    if (s->oldPieces == 0)
        DropPartialMessage(s);
}

[[nodiscard]] NtStatus PostFrame(MsgStream* s, HandleOwner frame)
{
    return s->downstream ? StageRun(s->downstream, WriteFrame, frame.get()) : kStatusInvalidState;
}

}  // namespace

const TypeDescriptor kMsgStreamType = {sizeof(MsgStream), MsgStreamInit, MsgStreamDestroy};

void MsgStreamInit(void* stream, ControlBlock* cb)
{
    auto* s = static_cast<MsgStream*>(stream);
    std::memset(s, 0, sizeof(*s));
    s->cb = cb;
    StrandInit(&s->strand, cb);
    FrameDecoderInit(&s->decoder);
    s->receiveBuilt = ObjAttachPayload(&s->receive, StageInit, StageDestroy, cb) == kStatusSuccess;
    if (s->receiveBuilt) {
        ClosureOwner consumer;
        ClosureInitForObject(consumer.put(), MsgStreamOnData, &s->strand.exec, s, 0, 1);
        StageSetConsumer(&s->receive, consumer.get());
    }
}

void MsgStreamDestroy(void* stream)
{
    auto* s = static_cast<MsgStream*>(stream);
    DropCurrent(s);
    if (s->receiveBuilt)
        ObjRelease(s->receive.cb);  // the embedded stage's own control block, torn down here
    s->receiveBuilt = 0;
    StageHold(s->downstream, nullptr);
    ClosureReset(&s->receiver);
    StrandDestroy(&s->strand);
}

StreamStage* MsgStreamReceiveStage(MsgStream* stream)
{
    return stream->receiveBuilt ? &stream->receive : nullptr;
}

void MsgStreamSetReceiver(MsgStream* stream, const Closure* receiver)
{
    ClosureOwner old = ClosureOwner::Adopt(stream->receiver);  // dropped once the copy is in place
    stream->receiver = ClosureOwner::Copy(receiver).release();
}

void MsgStreamSetDownstream(MsgStream* stream, StreamStage* downstream)
{
    if (stream->downstream != downstream)
        StageHold(stream->downstream, downstream);
}

NtStatus MsgStreamSend(MsgStream* stream, const BufferHandle* first, ...)
{
    uint32_t count = 0;
    uint64_t total = 0;
    va_list walk;
    va_start(walk, first);
    for (const BufferHandle* h = first; h; h = va_arg(walk, const BufferHandle*)) {
        ++count;
        total += h->size;
    }
    va_end(walk);
    if (total > kFrameMaxPayload || count > kFrameMaxPayload)
        return kStatusInvalidParameter;
    if (!stream->downstream)
        return kStatusInvalidState;

    HandleOwner frame;
    NtStatus status = BufAlloc(frame.put(), nullptr, DestroyFrameRecord,
                               offsetof(FrameRecord, pieces) + (count ? count : 1) * sizeof(BufferHandle));
    if (status != kStatusSuccess)
        return status;
    MessageView<FrameRecord> record(frame.get());
    FrameHeaderWrite(record->header, static_cast<uint16_t>(total));
    record->count = 0;  // grows with each piece so that the destroyer releases only those
    bool alive = true;
    va_start(walk, first);
    for (const BufferHandle* h = first; h && alive; h = va_arg(walk, const BufferHandle*)) {
        alive = BufHandleLockCopy(&record->pieces[record->count], h) == 1;
        record->count += alive ? 1 : 0;
    }
    va_end(walk);
    if (!alive)
        return kStatusInvalidState;
    return PostFrame(stream, std::move(frame));
}

NtStatus MsgStreamSendBytes(MsgStream* stream, const void* first, uint32_t firstLength, ...)
{
    uint64_t total = first ? firstLength : 0;
    va_list walk;
    va_start(walk, firstLength);
    for (const void* p = first ? va_arg(walk, const void*) : nullptr; p; p = va_arg(walk, const void*))
        total += va_arg(walk, uint32_t);
    va_end(walk);
    if (total > kFrameMaxPayload)
        return kStatusInvalidParameter;
    if (!stream->downstream)
        return kStatusInvalidState;

    HandleOwner frame;
    NtStatus status = BufAlloc(frame.put(), nullptr, nullptr, kFrameHeaderSize + static_cast<uint32_t>(total));
    if (status != kStatusSuccess)
        return status;
    auto* out = static_cast<uint8_t*>(frame->data);
    FrameHeaderWrite(out, static_cast<uint16_t>(total));
    out += kFrameHeaderSize;
    if (first) {
        std::memcpy(out, first, firstLength);
        out += firstLength;
        va_start(walk, firstLength);
        for (const void* p = va_arg(walk, const void*); p; p = va_arg(walk, const void*)) {
            uint32_t length = va_arg(walk, uint32_t);
            std::memcpy(out, p, length);
            out += length;
        }
        va_end(walk);
    }
    return StageWrite(stream->downstream, frame.get());
}

NtStatus MsgStreamReset(MsgStream* stream) { return StrandPost(stream, nullptr, RunReset, nullptr); }

void MsgStreamOnData(BufferHandle* bound, BufferHandle* message)
{
    MessageView<StageOffer> offer(message);
    HandleOwner self = HandleLockCopy(bound);
    if (!self)
        return;  // the stream is gone: every byte counts as consumed
    auto* s = static_cast<MsgStream*>(self->data);
    assert(RunsOnStrand(&s->strand) && "received bytes are decoded on the stream's strand");
    // While old pieces are counted, every offer is of the first queued piece;
    // an empty queue means they were dropped, and these bytes are new ones.
    if (s->oldPieces && ListIsEmpty(&s->receive.queue))
        DropPartialMessage(s);
    const FrameSink sink = {BeginPayload, Deliver, s};
    offer->accepted = FrameDecoderFeed(&s->decoder, static_cast<const uint8_t*>(offer->offered->data),
                                       offer->offered->size, sink);
    // The last byte of the old connection is used up: a frame it began ends here.
    if (s->oldPieces && offer->accepted == offer->offered->size && --s->oldPieces == 0)
        DropPartialMessage(s);
}

void MsgStreamAck(BufferHandle* bound, BufferHandle*)
{
    HandleOwner self = HandleLockCopy(bound);
    if (!self)
        return;
    auto* s = static_cast<MsgStream*>(self->data);
    assert(RunsOnStrand(&s->strand) && "an acknowledgement runs on the stream's strand");
    FrameDecoderResume(&s->decoder);
    if (s->receiveBuilt)
        StageResumeNow(&s->receive);  // the ack runs on the stream's strand, the stage's executor
}
