#include "ClassFactory.h"

#include "ModuleCounts.h"
#include "VspManager.h"

namespace vspmanager {
namespace {

class ManagerFactory final : public IClassFactory {
public:
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
    // Static lifetime: the counts are nominal.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        return Guarded([&] {
            VspManager* manager = new VspManager();
            HRESULT hr = manager->QueryInterface(riid, ppv);
            manager->Release();  // destroys the manager when the query failed
            return hr;
        });
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        ServerLock(lock != FALSE);
        return S_OK;
    }
};

}  // namespace

IClassFactory* ManagerClassFactory()
{
    static ManagerFactory factory;
    return &factory;
}

}  // namespace vspmanager
