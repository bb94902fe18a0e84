#pragma once
#include "exec/Closure.h"
#include "runtime/RefOwner.h"
#include "runtime/ScopedLock.h"
#include <windows.h>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A closure without executor for completions that arrive on other threads:
// it records every message and lets the test wait for a count of them. With
// an object offset it also keeps a strong reference on the object each
// message carries (0 for object-record, 4 for the status-object layouts).
class MessageWaiter {
public:
    static constexpr int kNoObject = -1;

    explicit MessageWaiter(int objectOffset = kNoObject)
        : objectOffset_(objectOffset), event_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
        InitializeCriticalSection(&lock_);
        BufferHandle self = {this, nullptr, 0, 0};
        ClosureInit(&closure, Record, nullptr, &self);
    }
    ~MessageWaiter()
    {
        ClosureRelease(&closure);  // a plain field: the tests hand out its address
        DropObjects();
        DeleteCriticalSection(&lock_);
        CloseHandle(event_);
    }
    MessageWaiter(const MessageWaiter&) = delete;
    MessageWaiter& operator=(const MessageWaiter&) = delete;

    // True once n messages have arrived (a generous bound for a loaded machine).
    bool WaitFor(size_t n, DWORD ms = 30000)
    {
        DWORD start = GetTickCount();
        for (;;) {
            {
                ScopedLock hold(lock_);
                if (messages_.size() >= n)
                    return true;
                ResetEvent(event_);
            }
            DWORD spent = GetTickCount() - start;
            if (spent >= ms || WaitForSingleObject(event_, ms - spent) != WAIT_OBJECT_0)
                return false;
        }
    }
    size_t Count()
    {
        ScopedLock hold(lock_);
        return messages_.size();
    }
    std::string At(size_t i)
    {
        ScopedLock hold(lock_);
        return messages_.at(i);
    }
    uint32_t U32(size_t i, size_t offset)
    {
        std::string m = At(i);
        uint32_t value = 0;
        if (offset + 4 <= m.size())
            std::memcpy(&value, m.data() + offset, 4);
        return value;
    }
    // The object of message i, kept alive by this waiter.
    void* Object(size_t i)
    {
        ScopedLock hold(lock_);
        return objects_.at(i).get();
    }
    void DropObjects()
    {
        std::vector<RefOwner<void>> objects;
        {
            ScopedLock hold(lock_);
            objects.swap(objects_);
        }
    }

    Closure closure = {};

private:
    static void Record(BufferHandle* bound, BufferHandle* message)
    {
        auto* self = static_cast<MessageWaiter*>(bound->data);
        ScopedLock hold(self->lock_);
        self->messages_.emplace_back(static_cast<const char*>(message->data), message->size);
        if (self->objectOffset_ != kNoObject) {
            void* object = nullptr;
            if (message->size >= static_cast<uint32_t>(self->objectOffset_) + 4)
                std::memcpy(&object, static_cast<const char*>(message->data) + self->objectOffset_, 4);
            self->objects_.push_back(RefOwner<void>::AddRef(object));
        }
        SetEvent(self->event_);
    }

    int objectOffset_;
    HANDLE event_;
    CRITICAL_SECTION lock_;
    std::vector<std::string> messages_;
    std::vector<RefOwner<void>> objects_;
};
