#pragma once
#include "channel/ChannelClient.h"
#include "exec/ClosureOwner.h"
#include "exec/MemberBinding.h"
#include "runtime/ManagedObject.h"
#include "runtime/MemberEmbedding.h"
#include "runtime/Platform.h"
#include <cassert>
#include <new>
#include <utility>

// What a front end's monitor object is built with: the object itself
// (CreateMonitorObject), its channel and the executor its records run on
// (MonitorLink), and the platform query that chooses the log service's
// endpoint (IsNtPlatform: the named pipe on NT, TCP elsewhere).

// A monitor object is reference counted, keeps its control block in its first
// word and is constructed as T(control block, arguments...): the construct
// routine only stores the control block, the constructor takes the rest.
inline void StoreMonitorControlBlock(void* payload, ControlBlock* cb)
{
    *static_cast<ControlBlock**>(payload) = cb;
}

// A new monitor object with one strong reference; none when memory is short.
template <class T, class... Args>
T* CreateMonitorObject(Args&&... args)
{
    void* payload = nullptr;
    if (ObjCreateWithPayload(&payload, StoreMonitorControlBlock, ManagedDestroy<T>, sizeof(T)) != kStatusSuccess)
        return nullptr;
    return new (payload) T(ObjControlBlockOf(payload), std::forward<Args>(args)...);
}

// The channel to the log service and the executor on which its records reach
// the monitor object (a Strand, or a ThreadBinding to a window's thread). Each
// is a member with a control block of its own whose parent is the object: the
// record closure holds the executor strongly and must not keep the object alive.
template <class Executor>
class MonitorLink {
public:
    MonitorLink(ControlBlock* owner, const TypeDescriptor& executorType)
    {
        assert(executorType.payloadSize == sizeof(Executor) && "the executor's own type");
        // The built flags keep the outcome; Open looks at them.
        (void)MemberCreate(&executor_, &executorBuilt_, executorType.construct, executorType.destroy, owner);
        (void)ChannelMemberCreate(&channel_, &channelBuilt_, owner);
    }
    ~MonitorLink()
    {
        ChannelMemberRelease(&channel_, &channelBuilt_);
        MemberRelease(&executor_, &executorBuilt_);
    }
    MonitorLink(const MonitorLink&) = delete;
    MonitorLink& operator=(const MonitorLink&) = delete;

    Executor& executor() { return executor_; }
    ChannelClient& channel() { return channel_; }
    // Both members were made: only then can the link carry records.
    bool built() const { return channelBuilt_ && executorBuilt_; }

    // Opens the channel to `server`; its records go to `Member` of `object`,
    // held weakly, on the executor. A link without its members or a server
    // stays silent, and so does one whose channel cannot open.
    template <class T, void (T::*Member)(BufferHandle*)>
    void Open(T* object, const char* name, const char* deviceFilter, uint32_t dumpFlag, const AddressRecord* server)
    {
        if (!built() || !server)
            return;
        ClosureOwner onRecord;
        BindMember<T, Member>(onRecord.put(), object, &executor_.exec);
        (void)ChannelOpen(&channel_, name, deviceFilter, dumpFlag, server, onRecord.get());
    }

private:
    Executor executor_{};
    uint8_t executorBuilt_ = 0;
    ChannelClient channel_;
    uint8_t channelBuilt_ = 0;
};
