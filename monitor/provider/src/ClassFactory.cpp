#include "ClassFactory.h"

#include "ModuleLock.h"
#include "QuelStdMsgProvider.h"

#include <new>

namespace quelstd {
namespace {

class ProviderFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Static lifetime: the counts are nominal.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        // The object's IUnknown is its interface pointer: it cannot be aggregated.
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        QuelStdMsgProvider* object;
        try {
            object = new QuelStdMsgProvider();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        object->AddRef();
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();  // destroys the object when the query failed
        return hr;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            ModuleLockAdd();
        else
            ModuleLockRelease();
        return S_OK;
    }
};

}  // namespace

IClassFactory* ProviderClassFactory()
{
    static ProviderFactory factory;
    return &factory;
}

}  // namespace quelstd
