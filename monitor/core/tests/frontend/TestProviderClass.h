// Registry set-up for the host's tests: classes of core_test_provider.dll with
// their own ProgIDs and behaviour, the standard provider through regsvr32, and
// ini files in fresh temporary directories.
#pragma once

#include "TestProgram.h"
#include "win32/Handles.h"

#include <windows.h>

#include <string>

namespace provider_host_test {

using quelstd_test::BesideProgram;
using quelstd_test::Regsvr32;

struct ProviderBehaviour {
    long rangeFrom;
    long rangeTo;
    HRESULT rangeResult = S_OK;
    HRESULT messageResult = S_OK;
};

// A class of core_test_provider.dll under a fresh CLSID, reachable through
// ProgID "QuelCoreTest.<name>"; its answers start with "<name>:". Removed again
// by the destructor.
class ScopedProviderClass {
public:
    ScopedProviderClass(const char* name, const ProviderBehaviour& behaviour);
    ScopedProviderClass(const ScopedProviderClass&) = delete;
    ScopedProviderClass& operator=(const ScopedProviderClass&) = delete;
    ~ScopedProviderClass();

    const std::string& progId() const { return progId_; }
    bool registered() const { return registered_; }

private:
    std::string progId_;
    std::wstring classKey_;
    bool registered_ = false;
};

// "<dir>\quel.ini" holding `contents`, in a directory of its own (the system
// caches ini files by name) that the destructor removes.
class ScopedIniFile {
public:
    explicit ScopedIniFile(const std::string& contents);
    ScopedIniFile(const ScopedIniFile&) = delete;
    ScopedIniFile& operator=(const ScopedIniFile&) = delete;
    ~ScopedIniFile();

    const std::string& directory() const { return directory_; }
    const std::string& path() const { return path_; }

private:
    std::string directory_;
    std::string path_;
};

// The test provider's own counters, read from the loaded DLL.
class TestProviderModule {
public:
    TestProviderModule();
    TestProviderModule(const TestProviderModule&) = delete;
    TestProviderModule& operator=(const TestProviderModule&) = delete;

    bool loaded() const { return liveObjects_ != nullptr && messageCalls_ != nullptr; }
    LONG liveObjects() const { return liveObjects_(); }
    LONG messageCalls() const { return messageCalls_(); }

private:
    win32::UniqueModule module_;
    LONG(__cdecl* liveObjects_)() = nullptr;
    LONG(__cdecl* messageCalls_)() = nullptr;
};

}  // namespace provider_host_test
