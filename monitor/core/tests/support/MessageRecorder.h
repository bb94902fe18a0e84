#pragma once
#include "exec/Closure.h"
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A closure without executor that records the bytes of every message it
// receives, and can keep the last message alive past the call.
struct MessageRecorder {
    std::vector<std::string> messages;
    bool keepLast = false;
    BufferHandle kept = {};
    Closure closure = {};

    MessageRecorder()
    {
        BufferHandle self = {this, nullptr, 0, 0};
        ClosureInit(&closure, Record, nullptr, &self);
    }
    ~MessageRecorder() { DropKept(); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void DropKept()
    {
        BufHandleRelease(&kept);
        kept = {};
    }

    const std::string& Last() const { return messages.back(); }

    static void Record(BufferHandle* bound, BufferHandle* message)
    {
        auto* self = static_cast<MessageRecorder*>(bound->data);
        self->messages.emplace_back(static_cast<const char*>(message->data), message->size);
        if (self->keepLast) {
            self->DropKept();
            BufHandleCopy(&self->kept, message);
        }
    }
};

// Little-endian field readers over recorded bytes.
inline uint32_t U32At(const std::string& bytes, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}
