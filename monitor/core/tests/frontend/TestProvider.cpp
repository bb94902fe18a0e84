// A message provider for the host's tests: one in-process server that serves
// every class registered for it. Each class reads its behaviour from values of
// its own key HKCR\CLSID\{clsid}: Name (text prefix), RangeFrom, RangeTo,
// RangeResult and MessageResult (HRESULTs the two methods return). GetMessage
// answers "<Name>:<code>:<size>" when MessageResult is a success.
#include "IQuelMessageProvider.h"

#include <cwchar>
#include <new>

namespace {

LONG g_liveObjects = 0;
LONG g_serverLocks = 0;
LONG g_messageCalls = 0;

struct ClassBehaviour {
    wchar_t name[64] = L"?";
    long rangeFrom = 0;
    long rangeTo = -1;
    HRESULT rangeResult = S_OK;
    HRESULT messageResult = S_OK;
};

DWORD ReadDword(HKEY key, const wchar_t* name, DWORD fallback)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return fallback;
    return value;
}

bool ReadBehaviour(REFCLSID clsid, ClassBehaviour* behaviour)
{
    wchar_t guid[40];
    StringFromGUID2(clsid, guid, 40);
    wchar_t path[64];
    std::swprintf(path, 64, L"CLSID\\%ls", guid);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = sizeof(behaviour->name) - sizeof(wchar_t);
    DWORD type = 0;
    bool known = RegQueryValueExW(key, L"Name", nullptr, &type, reinterpret_cast<BYTE*>(behaviour->name),
                                  &size) == ERROR_SUCCESS && type == REG_SZ;
    behaviour->rangeFrom = static_cast<long>(ReadDword(key, L"RangeFrom", 0));
    behaviour->rangeTo = static_cast<long>(ReadDword(key, L"RangeTo", 0));
    behaviour->rangeResult = static_cast<HRESULT>(ReadDword(key, L"RangeResult", S_OK));
    behaviour->messageResult = static_cast<HRESULT>(ReadDword(key, L"MessageResult", S_OK));
    RegCloseKey(key);
    return known;
}

class TestProvider final : public IQuelMessageProvider {
public:
    explicit TestProvider(const ClassBehaviour& behaviour) : behaviour_(behaviour)
    {
        InterlockedIncrement(&g_liveObjects);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IQuelMessageProvider)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IQuelMessageProvider*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --references_;
        if (left == 0) {
            delete this;
            InterlockedDecrement(&g_liveObjects);
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetMessageRange(long* from, long* to) override
    {
        if (from == nullptr || to == nullptr)
            return E_POINTER;
        if (FAILED(behaviour_.rangeResult))
            return behaviour_.rangeResult;
        *from = behaviour_.rangeFrom;
        *to = behaviour_.rangeTo;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetMessage(long code, void*, long size, QUEL_MESSAGE_TYPE* type,
                                         BSTR* text) override
    {
        InterlockedIncrement(&g_messageCalls);
        if (type == nullptr || text == nullptr)
            return E_POINTER;
        if (FAILED(behaviour_.messageResult))
            return behaviour_.messageResult;
        wchar_t line[128];
        std::swprintf(line, 128, L"%ls:%ld:%ld", behaviour_.name, code, size);
        *type = QUEL_MSG_WARNING;
        *text = SysAllocString(line);
        return S_OK;
    }

private:
    ClassBehaviour behaviour_;
    ULONG references_ = 0;
};

class Factory final : public IClassFactory {
public:
    explicit Factory(const ClassBehaviour& behaviour) : behaviour_(behaviour) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        InterlockedIncrement(&g_serverLocks);
        return InterlockedIncrement(&references_);
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = InterlockedDecrement(&references_);
        InterlockedDecrement(&g_serverLocks);
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) TestProvider(behaviour_);
        if (object == nullptr)
            return E_OUTOFMEMORY;
        object->AddRef();
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            InterlockedIncrement(&g_serverLocks);
        else
            InterlockedDecrement(&g_serverLocks);
        return S_OK;
    }

private:
    ClassBehaviour behaviour_;
    LONG references_ = 0;
};

}  // namespace

extern "C" {

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    ClassBehaviour behaviour;
    if (!ReadBehaviour(clsid, &behaviour))
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) Factory(behaviour);
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    factory->AddRef();
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return g_liveObjects == 0 && g_serverLocks == 0 ? S_OK : S_FALSE;
}

// Provider objects alive now, and GetMessage calls so far, for the tests.
LONG __cdecl TestProviderLiveObjects() { return g_liveObjects; }
LONG __cdecl TestProviderMessageCalls() { return g_messageCalls; }

}  // extern "C"
