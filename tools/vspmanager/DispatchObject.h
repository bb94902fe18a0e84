// Reference counting, interface queries and the dispatch slots of every object
// of the stand-in. The dispatch slots are there for the interfaces' layout
// only: the objects carry no type information and are not scriptable. The
// last Release deletes the object as its own type, so no class needs a
// virtual destructor.
#pragma once

#include "ModuleCounts.h"

#include <objbase.h>
#include <oaidl.h>

#include <new>

namespace vspmanager {

template <class Derived, class Interface, const IID& kInterfaceId>
class DispatchObject : public Interface {
public:
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, kInterfaceId)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info != nullptr)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

protected:
    // The creator holds the first reference.
    DispatchObject() { ServerLocks().Add(); }
    ~DispatchObject() { ServerLocks().Release(); }

private:
    volatile LONG references_ = 1;
};

// Runs a method body that may throw: no exception leaves a COM method.
template <class Body>
HRESULT Guarded(Body body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace vspmanager
