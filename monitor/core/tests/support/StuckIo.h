#pragma once
#include "exec/IoCommandQueue.h"
#include "runtime/IntrusiveList.h"
#include "support/TestThreads.h"
#include <windows.h>

// An operation that the system never gives back, for the final wait of an
// I/O thread: a node linked into the endpoint's list of I/O in flight, on the
// endpoint's own thread. The test takes it out again once the thread has
// given up on it (a real block would then stay allocated for good).
struct StuckIo {
    ListNode links = {};
    ListHead* list = nullptr;
    TestEvent linked;

    bool Start(IoCommandQueue* commands, ListHead* outstanding)
    {
        list = outstanding;
        BufferHandle self = {this, nullptr, 0, 0};
        return StatusAccepted(IoCommandQueuePost(commands, Link, &self, nullptr)) && linked.Wait();
    }
    void Unlink() { ListRemove(list, &links); }

    // True once only `holders` strong references are left on the endpoint's
    // worker: its I/O thread has let go of its own.
    static bool WaitStrongCount(ControlBlock* cb, LONG holders)
    {
        for (DWORD start = GetTickCount(); cb->strong != holders; Sleep(1))
            if (GetTickCount() - start > 20000)
                return false;
        return true;
    }

private:
    static void Link(BufferHandle* bound, BufferHandle*)
    {
        auto* self = static_cast<StuckIo*>(bound->data);
        ListPushBack(self->list, &self->links);
        ++self->list->count;
        self->linked.Set();
    }
};
