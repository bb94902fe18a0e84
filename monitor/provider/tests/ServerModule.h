// quelstd.dll loaded from beside the test program, without the registry.
#pragma once

#include "IQuelMessageProvider.h"

#include <string>

namespace quelstd_test {

// Full path of quelstd.dll in the directory of the running test program.
std::wstring ServerPath();

class ServerModule {
public:
    ServerModule();
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;
    ~ServerModule();

    bool loaded() const { return factory_ != nullptr; }
    HRESULT CanUnloadNow() const { return canUnloadNow_(); }
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const { return getClassObject_(clsid, riid, ppv); }
    IClassFactory* factory() const { return factory_; }
    // A new provider object with one reference, or NULL.
    IQuelMessageProvider* CreateProvider() const;

private:
    HMODULE module_ = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow_)() = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
    IClassFactory* factory_ = nullptr;
};

}  // namespace quelstd_test
