#include "SharedMemory.h"

#include <cassert>
#include <cstring>

namespace {

std::string GuardName(const char* regionName)
{
    return std::string(regionName) + "GUARD";
}

// Holds the guard for one scope. A guard whose last owner died holding it
// (WAIT_ABANDONED) is owned all the same and must be released like any other,
// or every later user of the region would wait for it forever.
class GuardHold {
public:
    explicit GuardHold(HANDLE guard) : guard_(guard)
    {
        const DWORD result = WaitForSingleObject(guard_, INFINITE);
        owned_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    }
    ~GuardHold()
    {
        if (owned_)
            ReleaseMutex(guard_);
    }
    GuardHold(const GuardHold&) = delete;
    GuardHold& operator=(const GuardHold&) = delete;

    bool Owned() const { return owned_; }

private:
    HANDLE guard_;
    bool owned_;
};

}  // namespace

CSharedMemory::~CSharedMemory()
{
    SharedMemoryClose();
}

bool CSharedMemory::SharedMemoryCreate(const char* name, uint32_t payloadSize)
{
    SharedMemoryClose();
    if (payloadSize > UINT32_MAX - sizeof(SharedMemoryHeader))
        return false;
    const DWORD regionSize = payloadSize + sizeof(SharedMemoryHeader);
    mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, regionSize, name));
    if (!mapping_ || GetLastError() == ERROR_ALREADY_EXISTS) {
        SharedMemoryClose();
        return false;
    }
    guard_.reset(CreateMutexA(nullptr, FALSE, GuardName(name).c_str()));
    if (!guard_ || GetLastError() == ERROR_ALREADY_EXISTS) {
        SharedMemoryClose();
        return false;
    }
    view_ = MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!view_) {
        SharedMemoryClose();
        return false;
    }
    *Header() = SharedMemoryHeader{kSharedMemoryMagic, payloadSize, 1};
    std::memset(Header() + 1, 0, payloadSize);
    name_ = name;
    return true;
}

bool CSharedMemory::SharedMemoryOpen(const char* name)
{
    SharedMemoryClose();
    mapping_.reset(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name));
    guard_.reset(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, GuardName(name).c_str()));
    if (mapping_ && guard_)
        view_ = MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!view_) {
        SharedMemoryClose();
        return false;
    }
    name_ = name;
    CountUsers(+1);
    return true;
}

void CSharedMemory::SharedMemoryClose()
{
    if (view_) {
        assert(mapping_ && guard_ && "a view is only mapped with both handles");
        CountUsers(-1);
        UnmapViewOfFile(view_);
        view_ = nullptr;
    }
    guard_.reset();
    mapping_.reset();
    name_.clear();
}

DWORD CSharedMemory::SharedMemoryLock(DWORD timeoutMs)
{
    if (!SharedMemoryIsValid())
        return WAIT_FAILED;
    return WaitForSingleObject(guard_.get(), timeoutMs);
}

BOOL CSharedMemory::SharedMemoryUnlock()
{
    if (!SharedMemoryIsValid())
        return FALSE;
    return ReleaseMutex(guard_.get());
}

void* CSharedMemory::SharedMemoryPayload() const
{
    return SharedMemoryIsValid() ? Header() + 1 : nullptr;
}

uint32_t CSharedMemory::SharedMemorySize() const
{
    return SharedMemoryIsValid() ? Header()->payloadSize : 0;
}

uint32_t CSharedMemory::CountUsers(int change)
{
    if (!SharedMemoryIsValid())
        return 0;
    GuardHold hold(guard_.get());
    if (!hold.Owned())
        return 0;
    Header()->users += change;
    return Header()->users;
}
