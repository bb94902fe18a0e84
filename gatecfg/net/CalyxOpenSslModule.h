#pragma once
// What the two OpenSSL units share: one DLL loaded by name and its entries
// resolved by name, in list order, into the unit's typed pointers.
#include <windows.h>

#include <cstddef>
#include <string>

namespace calyx {

struct TOpenSslEntry {
    const char* Name;
    void (*Store)(FARPROC entry);
};

class TOpenSslModule {
public:
    template <size_t N>
    TOpenSslModule(const char* dllName, const char* notLoadedText, const TOpenSslEntry (&entries)[N])
        : FDllName(dllName), FNotLoadedText(notLoadedText), FModulePath(notLoadedText),
          FEntries(entries), FEntryCount(N)
    {
    }
    TOpenSslModule(const TOpenSslModule&) = delete;
    TOpenSslModule& operator=(const TOpenSslModule&) = delete;

    const std::string& DllName() const noexcept { return FDllName; }
    void SetDllName(const std::string& name) { FDllName = name; }
    const std::string& ModulePath() const noexcept { return FModulePath; }
    HMODULE Handle() const noexcept { return FHandle; }
    // Loaded with every entry that Resolve asked for.
    bool Complete() const noexcept { return FComplete; }

    // LoadLibrary of the DLL name; 0 on success (the module path is then
    // set), else the system error, with nothing loaded.
    DWORD Open();
    // Resolves every entry; true when each one but `optional` (a name, or
    // none) was found, and the module then counts as complete.
    bool Resolve(const char* optional = nullptr);
    // Frees the module, clears the handle, the path and every entry.
    void Release();

private:
    std::string FDllName;
    const char* FNotLoadedText;
    std::string FModulePath;
    const TOpenSslEntry* FEntries;
    size_t FEntryCount;
    HMODULE FHandle = nullptr;
    bool FComplete = false;
};

}  // namespace calyx
