#include "InstanceControl.h"

#include "QuelIds.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD kStopWaitMs = 500;
constexpr int kStopWaits = 3;

}  // namespace

bool IsMainFrameWindow(HWND window)
{
    char name[sizeof kMainFrameClassName + 1] = {};
    return window && IsWindow(window) && GetClassNameA(window, name, sizeof name) > 0 &&
           std::strcmp(name, kMainFrameClassName) == 0;
}

HWND StoredMainWindow(const CSharedMemory& region)
{
    uint32_t handle = 0;
    if (region.SharedMemorySize() >= sizeof handle)
        std::memcpy(&handle, region.SharedMemoryPayload(), sizeof handle);
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
    return IsMainFrameWindow(window) ? window : nullptr;
}

void StoreMainWindow(CSharedMemory& region, HWND window)
{
    const uint32_t handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
    if (region.SharedMemorySize() >= sizeof handle)
        std::memcpy(region.SharedMemoryPayload(), &handle, sizeof handle);
}

bool PostStopAndWait(HWND window)
{
    PostMessageA(window, WM_COMMAND, ID_STOP_INSTANCE, 0);
    for (int wait = 0; wait < kStopWaits && IsWindow(window); ++wait)
        Sleep(kStopWaitMs);
    return !IsWindow(window);
}

void StopRunningInstances()
{
    CSharedMemory region;
    if (!region.SharedMemoryCreate(kInstanceRegionName, sizeof(uint32_t)) &&
        region.SharedMemoryOpen(kInstanceRegionName)) {
        if (HWND stored = StoredMainWindow(region)) {
            PostStopAndWait(stored);
            return;
        }
    }
    // Windows go while they are stopped: find them all first.
    std::vector<HWND> windows;
    for (HWND found = nullptr; (found = FindWindowExA(nullptr, found, kMainFrameClassName, nullptr));)
        windows.push_back(found);
    for (HWND window : windows)
        PostStopAndWait(window);
}
