#pragma once
#include "exec/ClosureOwner.h"
#include "runtime/HandleOwner.h"
#include <windows.h>

#include "win32/Handles.h"

// The closure of a synchronous form: stores a copy of the completion message
// and wakes the waiting caller. The completion may arrive on any thread,
// including the caller's own before Wait is reached.
class SyncWaiter {
public:
    SyncWaiter();
    SyncWaiter(const SyncWaiter&) = delete;
    SyncWaiter& operator=(const SyncWaiter&) = delete;

    const Closure* closure() const { return closure_.get(); }
    // Blocks until the message has come; it stays valid while the waiter lives.
    const BufferHandle& Wait();
    // The message's leading status word (kStatusNoMemory when none could be waited for).
    [[nodiscard]] NtStatus Status() const;

private:
    static void Store(BufferHandle* bound, BufferHandle* message);

    ClosureOwner closure_;
    win32::UniqueHandle event_;
    HandleOwner message_;
};
