#include "net/CalyxOpenSslModule.h"

#include <cstring>

#include "net/CalyxLibrary.h"

namespace calyx {

DWORD TOpenSslModule::Open()
{
    Release();
    HMODULE handle = lib::LoadLibraryA(FDllName.c_str());
    // Values below 32 are the failure codes of 16-bit Windows.
    if (reinterpret_cast<uintptr_t>(handle) < 32) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_MOD_NOT_FOUND;
    }
    FHandle = handle;
    char path[257] = {};
    GetModuleFileNameA(handle, path, 256);
    FModulePath = path;
    return 0;
}

bool TOpenSslModule::Resolve(const char* optional)
{
    bool complete = FHandle != nullptr;
    for (size_t i = 0; i < FEntryCount; ++i) {
        FARPROC entry = FHandle ? lib::GetProcAddress(FHandle, FEntries[i].Name) : nullptr;
        FEntries[i].Store(entry);
        if (!entry && !(optional && std::strcmp(FEntries[i].Name, optional) == 0))
            complete = false;
    }
    FComplete = complete;
    return complete;
}

void TOpenSslModule::Release()
{
    for (size_t i = 0; i < FEntryCount; ++i)
        FEntries[i].Store(nullptr);
    FComplete = false;
    if (FHandle) {
        HMODULE handle = FHandle;
        FHandle = nullptr;
        lib::FreeLibrary(handle);
    }
    FModulePath = FNotLoadedText;
}

}  // namespace calyx
