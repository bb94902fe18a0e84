#pragma once
#include "containers/OrderedMap.h"
#include "exec/Closure.h"
#include "runtime/IntrusiveList.h"
#include <windows.h>
#include <cstdarg>

// Publish and subscribe by 32-bit event code. A subscriber registers a closure
// for all codes, for a list of codes, or for all codes but a list; a publish
// builds one message and invokes every matching closure with it, outside the
// hub's lock, so a subscriber may publish, subscribe or unsubscribe from
// inside its routine.
struct EventHub {
    CRITICAL_SECTION lock;
    ListHead allCodes;
    ListHead listedCodes;
    ListHead allButCodes;
    ListHead entries;  // one per code that a listed or all-but subscription names
    OrderedMap byCode; // code -> its entry
};

// What subscribers receive: {payload handle, u32 code}. When the payload was
// gathered, its bytes follow in the same buffer and the payload handle is a
// weak handle on that buffer; a subscriber that keeps the payload past its
// call takes a strong reference of its own.
struct EventHubMessage {
    BufferHandle payload;
    uint32_t code;
};

static_assert(sizeof(EventHubMessage) == 20, "event hub message layout");

struct EventSubscription;

void EventHubInit(EventHub* hub);
// Releases every subscription's closure and frees everything the hub holds.
void EventHubDestroy(EventHub* hub);

// The subscription (the handle to unsubscribe with), or none when memory is
// short. The closure is copied. A code listed twice counts once.
EventSubscription* EventHubSubscribeAll(EventHub* hub, const Closure* closure);
EventSubscription* EventHubSubscribeCodes(EventHub* hub, const Closure* closure, const uint32_t* codes,
                                          uint32_t count);
EventSubscription* EventHubSubscribeAllBut(EventHub* hub, const Closure* closure, const uint32_t* codes,
                                           uint32_t count);
// A publish that collected the subscription before may still invoke it.
void EventHubUnsubscribe(EventHub* hub, EventSubscription* subscription);

// The payload gathered from (pointer, uint32 length) pairs after the first,
// ending with a null pointer. Order: all-code subscribers, then those listing
// the code, then the all-but ones that do not exclude it, each in
// subscription order. Returns the number of closures invoked; nothing is
// allocated when none matches.
uint32_t EventHubPublish(EventHub* hub, uint32_t code, const void* first, uint32_t firstLength, ...);
uint32_t EventHubPublishList(EventHub* hub, uint32_t code, const void* first, uint32_t firstLength,
                             va_list more);
// The message carries a copy of the handle, of its own kind.
uint32_t EventHubPublishHandle(EventHub* hub, uint32_t code, const BufferHandle* payload);
