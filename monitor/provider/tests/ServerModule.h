// quelstd.dll loaded from beside the test program, without the registry.
#pragma once

#include "IQuelMessageProvider.h"
#include "win32/ComPtr.h"
#include "win32/Handles.h"

#include <string>

namespace quelstd_test {

// Full path of quelstd.dll in the directory of the running test program.
std::wstring ServerPath();

class ServerModule {
public:
    ServerModule();
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;

    bool loaded() const { return static_cast<bool>(factory_); }
    HRESULT CanUnloadNow() const { return canUnloadNow_(); }
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const { return getClassObject_(clsid, riid, ppv); }
    IClassFactory* factory() const { return factory_.get(); }
    // A new provider object with one reference, or NULL.
    IQuelMessageProvider* CreateProvider() const;

private:
    // Declared first, so freed after the factory that lives in it.
    win32::UniqueModule module_;
    HRESULT(STDAPICALLTYPE* canUnloadNow_)() = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
    win32::ComPtr<IClassFactory> factory_;
};

}  // namespace quelstd_test
