// A second process for the services tests. Each command does one thing to a
// region or to the registry and reports through its exit code:
//   hold NAME              open the region, take its guard and exit holding it
//   peek NAME              open, exit with the payload's first u32 (0 when the
//                          payload is shorter), closing first
//   stay NAME READY QUIT   open, set event READY, wait for event QUIT, close
//   create NAME SIZE       0 when a new region could be created, else 1
//   autorun KEY            SetAutorun(on) under HKEY_CURRENT_USER\KEY
// A failed open exits with kOpenFailed.
#include "Autorun.h"
#include "win32/Handles.h"
#include "RegistryKey.h"
#include "SharedMemory.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kOpenFailed = 0x7FFF0001;
constexpr int kUsage = 0x7FFF0002;

int Hold(const char* name)
{
    // Deliberately never closed: the process dies owning the guard.
    CSharedMemory* region = new CSharedMemory;
    if (!region->SharedMemoryOpen(name))
        return kOpenFailed;
    const DWORD wait = region->SharedMemoryLock(10000);
    ExitProcess(wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED ? 0 : 2);
}

int Peek(const char* name)
{
    CSharedMemory region;
    if (!region.SharedMemoryOpen(name))
        return kOpenFailed;
    uint32_t value = 0;
    if (region.SharedMemorySize() >= sizeof value)
        std::memcpy(&value, region.SharedMemoryPayload(), sizeof value);
    region.SharedMemoryClose();
    return static_cast<int>(value);
}

int Stay(const char* name, const char* ready, const char* quit)
{
    CSharedMemory region;
    if (!region.SharedMemoryOpen(name))
        return kOpenFailed;
    win32::UniqueHandle readyEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, ready));
    win32::UniqueHandle quitEvent(OpenEventA(SYNCHRONIZE, FALSE, quit));
    if (!readyEvent || !quitEvent)
        return kUsage;
    SetEvent(readyEvent.get());
    return WaitForSingleObject(quitEvent.get(), 20000) == WAIT_OBJECT_0 ? 0 : 3;
}

int Create(const char* name, const char* size)
{
    CSharedMemory region;
    return region.SharedMemoryCreate(name, std::strtoul(size, nullptr, 10)) ? 0 : 1;
}

int Autorun(const char* keyPath)
{
    win32::UniqueRegKey root;
    if (!OpenRegistryKey(root, HKEY_CURRENT_USER, keyPath, KEY_ALL_ACCESS))
        return kOpenFailed;
    return SetAutorun(true, root.get()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "hold" && argc == 3)
        return Hold(argv[2]);
    if (command == "peek" && argc == 3)
        return Peek(argv[2]);
    if (command == "stay" && argc == 5)
        return Stay(argv[2], argv[3], argv[4]);
    if (command == "create" && argc == 4)
        return Create(argv[2], argv[3]);
    if (command == "autorun" && argc == 3)
        return Autorun(argv[2]);
    return kUsage;
}
