#pragma once
// Work that a thread's message loop does when its queue runs empty. Windows
// register themselves on the thread they live on (a frame updates its bars
// there); the application's loop runs its thread's handlers at idle without
// knowing what registered them.

class CIdleHandler {
public:
    virtual void OnIdle() = 0;

protected:
    ~CIdleHandler() = default;
};

// Registers on the calling thread; a handler must be removed before it is gone.
void AddIdleHandler(CIdleHandler* handler);
void RemoveIdleHandler(CIdleHandler* handler);
// Runs the calling thread's handlers in the order they were added. A handler
// removed by an earlier one's run is skipped, one added meanwhile waits for the next idle.
void RunIdleHandlers();
