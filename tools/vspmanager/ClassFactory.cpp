#include "ClassFactory.h"

#include "ModuleCounts.h"
#include "VspManager.h"

namespace vspmanager {
namespace {

HRESULT CreateManager(REFIID riid, void** ppv)
{
    VspManager* manager = new VspManager();
    const HRESULT hr = manager->QueryInterface(riid, ppv);
    manager->Release();  // destroys the manager when the query failed
    return hr;
}

}  // namespace

IClassFactory* ManagerClassFactory()
{
    static win32::StaticClassFactory factory(CreateManager, ServerLocks());
    return &factory;
}

}  // namespace vspmanager
