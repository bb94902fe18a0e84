#pragma once
#include "exec/Closure.h"
#include "net/AddressRecord.h"
#include "runtime/MessageView.h"
#include "runtime/ObjRef.h"
#include <cstddef>

// The message of an asynchronous completion: a buffer handed to the
// operation's closure, in one of six layouts (u32 fields, little-endian; a
// record field is a whole AddressRecord whose size word tells where the next
// field begins). An object reference in a message holds one strong reference
// while the buffer lives; a receiver that keeps the object takes its own, and
// one that keeps anything else copies it, because the buffer goes as soon as
// the closure returns. The reference is 0 whenever the status is not 0.

// Generic completion (close, disconnect, write, provider connect, errors): 4 + n.
struct StatusMessage {
    NtStatus status;
    // then optional raw bytes
};

// Read completions: bytes transferred. 8.
struct StatusCountMessage {
    NtStatus status;
    uint32_t count;
};

// Receive-from completions: 8 + source record.
struct StatusCountRecordMessage {
    NtStatus status;
    uint32_t count;
    AddressRecord source;
};

// Family factory, listen and open results: 8 + record, or 8 without a record.
struct StatusObjectRecordMessage {
    NtStatus status;
    ObjRef object;
    AddressRecord record;
};

// Accepted connection or new datagram peer (no status): 4 + record.
struct ObjectRecordMessage {
    ObjRef object;
    AddressRecord record;
};

// Connect result: 8 + remote record + local record.
struct StatusObjectRemoteLocalMessage {
    NtStatus status;
    ObjRef object;
    AddressRecord remote;
    // then the local record, at 8 + remote.size
};

// Receive-from and open results may come without their record.
template <>
constexpr uint32_t kMessageFixedSize<StatusCountRecordMessage> = offsetof(StatusCountRecordMessage, source);
template <>
constexpr uint32_t kMessageFixedSize<StatusObjectRecordMessage> = offsetof(StatusObjectRecordMessage, record);

static_assert(sizeof(void*) == 4, "object references are 32-bit words in messages");
static_assert(sizeof(StatusObjectRecordMessage) == 16 && sizeof(ObjectRecordMessage) == 12,
              "completion message layouts");

inline const AddressRecord* ConnectMessageLocal(const StatusObjectRemoteLocalMessage* m)
{
    return RecordFollowing(&m->remote);
}

// Builders: allocate the message, fill it, invoke the closure, release the
// buffer, and return the invoke's result (kStatusNoMemory when the buffer cannot be
// had, and nothing is delivered). A closure that is absent or has no routine
// receives nothing, and the builder returns 0 without allocating. The closure
// stays the caller's. An object passed in gains the message's reference. A worker
// that completes an operation has no one else to tell when the message cannot be
// had, and drops the result.
[[nodiscard]] NtStatus CompleteWithStatus(const Closure* closure, NtStatus status, const void* bytes, uint32_t n);
[[nodiscard]] NtStatus CompleteWithStatusCount(const Closure* closure, NtStatus status, uint32_t count);
[[nodiscard]] NtStatus NotifyStatusCount(const Closure* closure, NtStatus status, uint32_t count);
[[nodiscard]] NtStatus NotifyStatusCountAddress(const Closure* closure, NtStatus status, uint32_t count,
                                                const AddressRecord* record);
// Without a record the message is 8 bytes.
[[nodiscard]] NtStatus NotifyStatusObjectAddress(const Closure* closure, NtStatus status, void* object,
                                                 const AddressRecord* record);
[[nodiscard]] NtStatus NotifyObjectAddress(const Closure* closure, const AddressRecord* record, void* object);
// Without a local record the default local record {8, the remote's type word} stands in.
[[nodiscard]] NtStatus NotifyConnect(const Closure* closure, NtStatus status, const AddressRecord* remote,
                                     const AddressRecord* local, void* object);
// Copies min(length, destination size) bytes into the destination's data, then
// sends status-count-record with the number copied.
[[nodiscard]] NtStatus NotifyReceived(const BufferHandle* destination, const Closure* closure, NtStatus status,
                                      const void* source, uint32_t length, const AddressRecord* record);
