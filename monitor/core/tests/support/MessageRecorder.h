#pragma once
#include "exec/Closure.h"
#include "runtime/HandleOwner.h"
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A closure without executor that records the bytes of every message it
// receives, and can keep the last message alive past the call.
struct MessageRecorder {
    std::vector<std::string> messages;
    bool keepLast = false;
    HandleOwner kept;
    Closure closure = {};

    MessageRecorder()
    {
        BufferHandle self = {this, nullptr, 0, 0};
        ClosureInit(&closure, Record, nullptr, &self);
    }
    ~MessageRecorder() { DropKept(); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void DropKept() { kept.reset(); }

    const std::string& Last() const { return messages.back(); }

    static void Record(BufferHandle* bound, BufferHandle* message)
    {
        auto* self = static_cast<MessageRecorder*>(bound->data);
        self->messages.emplace_back(static_cast<const char*>(message->data), message->size);
        if (self->keepLast) {
            self->kept = HandleOwner::Copy(message);
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
