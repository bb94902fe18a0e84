#pragma once
#include "net/AddressRecord.h"
#include "runtime/ObjRef.h"
#include "runtime/TrackedBlock.h"

// The fields that stream and datagram listeners begin with: the listener's
// object reference is the address of `cb`, and closing a listener closes its
// provider, whatever its kind.
struct ListenerBase {
    ControlBlock* cb = nullptr;
    AddressRecord* record = nullptr;  // the caller's, copied
    ObjRef provider = {};

    // The fields stay plain words (the layout above), so they are released by hand.
    ~ListenerBase()
    {
        BlockRelease(record);
        ObjRefRelease(&provider);
    }
};

static_assert(sizeof(void*) == 4, "listeners are laid out in 32-bit words");
