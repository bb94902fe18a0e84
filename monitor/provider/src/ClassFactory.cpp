#include "ClassFactory.h"

#include "ModuleLock.h"
#include "QuelStdMsgProvider.h"
#include "win32/ComPtr.h"

namespace quelstd {
namespace {

HRESULT CreateProvider(REFIID riid, void** ppv)
{
    // Destroys the object when the query failed.
    const win32::ComPtr<QuelStdMsgProvider> object(new QuelStdMsgProvider());
    return object->QueryInterface(riid, ppv);
}

}  // namespace

IClassFactory* ProviderClassFactory()
{
    static win32::StaticClassFactory factory(CreateProvider, ModuleLocks());
    return &factory;
}

}  // namespace quelstd
