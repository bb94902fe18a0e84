#include "net/CompletionMessage.h"
#include "runtime/HandleOwner.h"
#include <algorithm>
#include <initializer_list>

namespace {

struct Field {
    const void* data;
    uint32_t length;
};

Field RecordField(const AddressRecord* record)
{
    return {record, record ? record->size : 0u};
}

// Payload destroy routines: the message's object word is released with the message.
void ReleaseObjectAtWord0(void* payload) { ObjRefRelease(static_cast<ObjRef*>(payload)); }
void ReleaseObjectAtWord1(void* payload) { ObjRefRelease(static_cast<ObjRef*>(payload) + 1); }

constexpr int kNoObject = -1;

// Lays the fields out one after the other, stores the object reference (with a
// strong reference of the message's own) in word `objectWord`, and hands the
// message to the closure.
[[nodiscard]] NtStatus Deliver(const Closure* closure, std::initializer_list<Field> fields, int objectWord = kNoObject,
                               void* object = nullptr)
{
    if (!closure || !closure->routine)
        return kStatusSuccess;
    uint64_t total = 0;
    for (const Field& f : fields)
        total += f.length;
    if (total > UINT32_MAX)
        return kStatusNoMemory;
    PayloadRoutine destroy = objectWord == 0   ? ReleaseObjectAtWord0
                             : objectWord == 1 ? ReleaseObjectAtWord1
                                               : nullptr;
    HandleOwner message;
    NtStatus status = BufAlloc(message.put(), nullptr, destroy, uint32_t(total));
    if (status != kStatusSuccess)
        return status;
    auto* out = static_cast<char*>(message->data);
    for (const Field& f : fields) {
        if (f.length)
            std::memcpy(out, f.data, f.length);
        out += f.length;
    }
    if (objectWord != kNoObject) {
        ObjRef* slot = static_cast<ObjRef*>(message->data) + objectWord;
        slot->object = nullptr;
        ObjRefAssign(slot, object);
    }
    // The invoke only passes the bound handle through to the routine.
    Closure* target = const_cast<Closure*>(closure);
    return ClosureCall(target, message.get());
}

const uint32_t kNullWord = 0;

}  // namespace

NtStatus CompleteWithStatus(const Closure* closure, NtStatus status, const void* bytes, uint32_t n)
{
    return Deliver(closure, {{&status, 4}, {bytes, bytes ? n : 0u}});
}

NtStatus CompleteWithStatusCount(const Closure* closure, NtStatus status, uint32_t count)
{
    return Deliver(closure, {{&status, 4}, {&count, 4}});
}

NtStatus NotifyStatusCount(const Closure* closure, NtStatus status, uint32_t count)
{
    return CompleteWithStatusCount(closure, status, count);
}

NtStatus NotifyStatusCountAddress(const Closure* closure, NtStatus status, uint32_t count,
                                  const AddressRecord* record)
{
    return Deliver(closure, {{&status, 4}, {&count, 4}, RecordField(record)});
}

NtStatus NotifyStatusObjectAddress(const Closure* closure, NtStatus status, void* object,
                                   const AddressRecord* record)
{
    return Deliver(closure, {{&status, 4}, {&kNullWord, 4}, RecordField(record)}, 1, object);
}

NtStatus NotifyObjectAddress(const Closure* closure, const AddressRecord* record, void* object)
{
    return Deliver(closure, {{&kNullWord, 4}, RecordField(record)}, 0, object);
}

NtStatus NotifyConnect(const Closure* closure, NtStatus status, const AddressRecord* remote,
                       const AddressRecord* local, void* object)
{
    const AddressRecord defaultRemote = {sizeof(AddressRecord), 0};
    if (!remote)
        remote = &defaultRemote;
    const AddressRecord defaultLocal = {sizeof(AddressRecord), remote->type};
    if (!local)
        local = &defaultLocal;
    return Deliver(closure, {{&status, 4}, {&kNullWord, 4}, RecordField(remote), RecordField(local)},
                   1, object);
}

NtStatus NotifyReceived(const BufferHandle* destination, const Closure* closure, NtStatus status,
                        const void* source, uint32_t length, const AddressRecord* record)
{
    uint32_t copied = 0;
    if (destination && destination->data && source) {
        copied = std::min(length, destination->size);
        std::memcpy(destination->data, source, copied);
    }
    return NotifyStatusCountAddress(closure, status, copied, record);
}
