#include "ClassFactory.h"

#include "ModuleLock.h"
#include "QuelStdMsgProvider.h"

namespace quelstd {
namespace {

HRESULT CreateProvider(REFIID riid, void** ppv)
{
    QuelStdMsgProvider* object = new QuelStdMsgProvider();
    object->AddRef();
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();  // destroys the object when the query failed
    return hr;
}

}  // namespace

IClassFactory* ProviderClassFactory()
{
    static win32::StaticClassFactory factory(CreateProvider, ModuleLocks());
    return &factory;
}

}  // namespace quelstd
