#pragma once
#include "exec/Closure.h"
#include "net/AddressRecord.h"
#include "runtime/StatusCodes.h"
#include <string>

// Synchronous helpers over the socket API for the pipe tests.

// A pipe path no other test process uses.
std::string UniquePipeName();

// Owns one strong reference on a core object.
struct Held {
    void* object = nullptr;
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() { Drop(); }
    void Drop();
};

// A tracked narrow pipe record; the caller releases it.
AddressRecord* Record(const std::string& name);
std::string RecordBytes(const AddressRecord* r);

// On success the socket is held.
NtStatus ConnectSync(const AddressRecord* remote, Held* socket);
// The bytes one read returned, or "error N" with the status as the transport reported it.
std::string ReceiveSync(void* socket, uint32_t bufferBytes = 256);
// Leaves one read of `bufferBytes` in flight, into a buffer that lives as long
// as the read; its status-count message goes to `closure` (null: to nobody).
void ReceivePending(void* socket, uint32_t bufferBytes, const Closure* closure);
NtStatus SendSync(void* socket, const std::string& bytes);
NtStatus CloseSync(void* socket);
