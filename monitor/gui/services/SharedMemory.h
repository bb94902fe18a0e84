#pragma once
#include "win32/Handles.h"

#include <windows.h>
#include <cstdint>
#include <string>

// Layout at the start of every region, shared between processes.
struct SharedMemoryHeader {
    uint32_t magic;        // kSharedMemoryMagic
    uint32_t payloadSize;  // as given at creation
    uint32_t users;        // 1 after creation, one more per open, one less per close
};
static_assert(sizeof(SharedMemoryHeader) == 12, "the payload follows 12 header bytes");

constexpr uint32_t kSharedMemoryMagic = 0x534D454D;  // the bytes "MEMS"

// A named region of the paging file with a header in front of its payload. A
// mutex named after the region with "GUARD" appended serialises changes of the
// user count. Valid while mapping, guard and view are all set; every create and
// open starts by closing, and the destructor closes.
class CSharedMemory {
public:
    CSharedMemory() = default;
    ~CSharedMemory();
    CSharedMemory(const CSharedMemory&) = delete;
    CSharedMemory& operator=(const CSharedMemory&) = delete;

    // A new region with a zeroed payload and one user. False, with the object
    // closed and the other owner's region untouched, when the mapping or the
    // guard name is already in use.
    bool SharedMemoryCreate(const char* name, uint32_t payloadSize);
    // Maps an existing region and counts one user more; false (closed) when the
    // mapping or the guard is missing or the view cannot be mapped.
    bool SharedMemoryOpen(const char* name);
    // Counts one user less when mapped, then lets go of everything.
    void SharedMemoryClose();

    // The wait result on the guard, or WAIT_FAILED when not valid. After
    // WAIT_ABANDONED (its last owner died holding it) the guard is held too
    // and must be unlocked like after WAIT_OBJECT_0.
    DWORD SharedMemoryLock(DWORD timeoutMs);
    // Nonzero when the guard was released; 0 when not valid.
    BOOL SharedMemoryUnlock();

    bool SharedMemoryIsValid() const { return mapping_ && guard_ && view_; }
    // The payload, or NULL when not valid.
    void* SharedMemoryPayload() const;
    // The header's payload size, or 0 when not valid. A caller that needs n
    // payload bytes of a region someone else made checks this first.
    uint32_t SharedMemorySize() const;

    const std::string& Name() const { return name_; }

private:
    // The new user count, or 0 when not valid or the guard could not be had
    // (the count is then left as it was).
    uint32_t CountUsers(int change);
    SharedMemoryHeader* Header() const { return static_cast<SharedMemoryHeader*>(view_); }

    std::string name_;
    win32::UniqueHandle mapping_;
    win32::UniqueHandle guard_;
    void* view_ = nullptr;
};
