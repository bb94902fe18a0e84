#pragma once
#include "runtime/StatusCodes.h"
#include <windows.h>
#include <cstdint>

// The header of every reference-counted thing of the core. A managed object
// keeps the pointer to its control block in its first word.
struct ControlBlock;
typedef void (*PayloadRoutine)(void* payload);
typedef void (*ControlBlockRoutine)(ControlBlock* cb);
typedef void (*PayloadConstruct)(void* payload, ControlBlock* cb);

enum ControlBlockState : LONG { kObjAlive = 0, kObjLocking = 1, kObjDestroyed = 2 };

struct ControlBlock {
    void* payload;
    PayloadRoutine destroy;            // at the last strong release, or none
    PayloadRoutine free;               // at the last weak release (gives the memory back), or none
    ControlBlockRoutine lastReference; // the final release of the control block itself
    ControlBlock* parent;              // held weakly: outlives this block's memory use
    volatile LONG state;
    volatile LONG strong;              // starts at 1
    volatile LONG weak;                // starts at 1, held by the strong references together
};

static_assert(sizeof(void*) == 4, "control blocks are eight 32-bit words");
static_assert(sizeof(ControlBlock) == 32, "control block layout");

// Descriptor of every type that others embed or create through ObjCreateWithPayload.
struct TypeDescriptor {
    uint32_t payloadSize;
    PayloadConstruct construct;
    PayloadRoutine destroy;  // or none
};

inline ControlBlock* ObjControlBlockOf(const void* object)
{
    return *static_cast<ControlBlock* const*>(object);
}

// New control block: strong = weak = 1, parent weakly referenced. 0 or kStatusNoMemory.
[[nodiscard]] NtStatus ObjCreate(ControlBlock** out, void* payload, PayloadRoutine destroy, PayloadRoutine free,
                                 ControlBlock* parent);
void ObjAddRef(ControlBlock* cb);      // strong + 1; the caller already holds a strong reference
void ObjWeakAddRef(ControlBlock* cb);  // weak + 1; the caller holds some reference
void ObjRelease(ControlBlock* cb);     // strong release; none does nothing
void ObjWeakRelease(ControlBlock* cb); // weak release; none does nothing
// A strong reference from a weak one: 1 taken, 0 when the object is destroyed (or none).
int ObjTryLock(ControlBlock* cb);

// Zero-filled tracked block of `size` bytes governed by a new control block;
// construct must store the control block in the payload's first word.
[[nodiscard]] NtStatus ObjCreateWithPayload(void** out, PayloadConstruct construct, PayloadRoutine destroy,
                                            uint32_t size);
[[nodiscard]] NtStatus ObjCreateFromDescriptor(void** out, const TypeDescriptor& type);
// Control block over memory the caller owns (a member of a larger object whose
// control block is the parent). 0 or kStatusNoMemory.
[[nodiscard]] NtStatus ObjAttachPayload(void* payload, PayloadConstruct attach, PayloadRoutine destroy,
                                        ControlBlock* parent);

void ObjPoolInit();      // control-block pool and the all-objects-freed event
void ObjPoolShutdown();  // close the event, destroy the pool (kept while blocks are out)
int ObjWaitAllFreed(uint32_t milliseconds);  // 1 when no object is alive within the time
int ObjAllFreedNow();
uint32_t LiveObjectCount();
