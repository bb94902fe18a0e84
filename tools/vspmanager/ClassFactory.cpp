#include "ClassFactory.h"

#include "ModuleCounts.h"
#include "VspManager.h"
#include "win32/ComPtr.h"

namespace vspmanager {
namespace {

HRESULT CreateManager(REFIID riid, void** ppv)
{
    // Destroys the manager when the query failed.
    const auto manager = win32::ComPtr<VspManager>::Adopt(new VspManager());
    return manager->QueryInterface(riid, ppv);
}

}  // namespace

IClassFactory* ManagerClassFactory()
{
    static win32::StaticClassFactory factory(CreateManager, ServerLocks());
    return &factory;
}

}  // namespace vspmanager
