// Bytes placed so that they end exactly where an inaccessible page begins:
// any read past their end faults.
#pragma once

#include <windows.h>

#include <cstring>
#include <vector>

namespace quelstd_test {

class GuardedBuffer {
public:
    explicit GuardedBuffer(const std::vector<uint8_t>& bytes)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (base_ != nullptr)
            VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old);
        data_ = base_ + page_ - bytes.size();
        if (!bytes.empty())
            std::memcpy(data_, bytes.data(), bytes.size());
    }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    ~GuardedBuffer()
    {
        if (base_ != nullptr)
            VirtualFree(base_, 0, MEM_RELEASE);
    }

    bool valid() const { return base_ != nullptr; }
    void* data() const { return data_; }

private:
    DWORD page_ = 0;
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
};

}  // namespace quelstd_test
