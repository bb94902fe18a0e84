#include "ServerModule.h"
#include "TestProgram.h"

namespace quelstd_test {

std::wstring ServerPath() { return BesideProgram(L"quelstd.dll"); }

ServerModule::ServerModule() : module_(LoadLibraryW(ServerPath().c_str()))
{
    if (!module_)
        return;
    canUnloadNow_ =
        reinterpret_cast<decltype(canUnloadNow_)>(reinterpret_cast<void*>(GetProcAddress(module_.get(), "DllCanUnloadNow")));
    getClassObject_ = reinterpret_cast<decltype(getClassObject_)>(
        reinterpret_cast<void*>(GetProcAddress(module_.get(), "DllGetClassObject")));
    if (canUnloadNow_ != nullptr && getClassObject_ != nullptr)
        getClassObject_(CLSID_QuelStdMsgProvider, IID_IClassFactory, reinterpret_cast<void**>(factory_.put()));
}

IQuelMessageProvider* ServerModule::CreateProvider() const
{
    IQuelMessageProvider* provider = nullptr;
    if (factory_)
        factory_->CreateInstance(nullptr, IID_IQuelMessageProvider, reinterpret_cast<void**>(&provider));
    return provider;
}

}  // namespace quelstd_test
