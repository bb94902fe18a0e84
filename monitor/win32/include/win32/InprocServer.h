// What every in-process COM server of this family shares: the count that
// keeps the module loaded, the class object and the description from which
// src/InprocServerExports.cpp makes the exports.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <new>

namespace win32 {

// Live objects plus IClassFactory::LockServer locks; DllCanUnloadNow answers
// S_OK only while it is zero.
class ServerLockCount {
public:
    void Add() { InterlockedIncrement(&count_); }
    void Release() { InterlockedDecrement(&count_); }
    bool Locked() { return InterlockedCompareExchange(&count_, 0, 0) != 0; }

private:
    volatile LONG count_ = 0;
};

// The class object of a server's one class. It lives as long as the module,
// so its own reference counts are nominal. `create` makes a new object and
// queries it for `riid`, leaving nothing alive when the query fails.
class StaticClassFactory final : public IClassFactory {
public:
    using Create = HRESULT (*)(REFIID riid, void** ppv);

    StaticClassFactory(Create create, ServerLockCount& locks) : create_(create), locks_(locks) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        // An object's IUnknown is its interface pointer: none can be aggregated.
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        // No exception may leave a COM method.
        try {
            return create_(riid, ppv);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            locks_.Add();
        else
            locks_.Release();
        return S_OK;
    }

private:
    Create create_;
    ServerLockCount& locks_;
};

// What a server with one class tells the exports that the quel_inproc_exports
// object library defines for it (DllMain and the four Dll* entries).
struct InprocServerDescription {
    const CLSID& clsid;
    IClassFactory* (*classFactory)();
    ServerLockCount& (*locks)();
    HRESULT (*registerServer)(const wchar_t* modulePath);
    HRESULT (*unregisterServer)();
};

// Defined once by each server that links quel_inproc_exports.
extern const InprocServerDescription kThisServer;

}  // namespace win32
