#include "QuelStdMsgProvider.h"

#include "ModuleLock.h"

#include <algorithm>
#include <climits>
#include <new>

namespace quelstd {

QuelStdMsgProvider::QuelStdMsgProvider() : lowestCode_(LONG_MAX), highestCode_(LONG_MIN)
{
    BuildMessageMap();
    ModuleLocks().Add();
}

QuelStdMsgProvider::~QuelStdMsgProvider() { ModuleLocks().Release(); }

void QuelStdMsgProvider::BuildMessageMap()
{
    static const struct {
        long code;
        MessageHandler handler;
    } kHandlers[] = {
        {1, OnDeviceOpened},     {2, OnDeviceClosed},   {3, OnConnectResult},           {4, OnConnectionAccepted},
        {5, OnConnectionClosed}, {11, OnListenResult},  {6, OnLogServiceConnectResult}, {7, OnLogServiceAccepted},
        {8, OnLogServiceClosed}, {12, OnResolveByName}, {13, OnResolveByMac},           {14, OnResolveResult},
    };
    for (const auto& entry : kHandlers) {
        messageMap_.emplace(entry.code, entry.handler);
        lowestCode_ = std::min(lowestCode_, entry.code);
        highestCode_ = std::max(highestCode_, entry.code);
    }
}

HRESULT QuelStdMsgProvider::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IQuelMessageProvider)) {
        *ppv = static_cast<IQuelMessageProvider*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG QuelStdMsgProvider::AddRef() { return ++refCount_; }

ULONG QuelStdMsgProvider::Release()
{
    ULONG count = --refCount_;
    if (count == 0)
        delete this;
    return count;
}

HRESULT QuelStdMsgProvider::GetMessageRange(long* pnCodeFrom, long* pnCodeTo)
{
    if (pnCodeFrom == nullptr || pnCodeTo == nullptr)
        return E_POINTER;
    *pnCodeFrom = lowestCode_;
    *pnCodeTo = highestCode_;
    return S_OK;
}

HRESULT QuelStdMsgProvider::GetMessage(long nCode, void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    if (pnType == nullptr || bstrText == nullptr)
        return E_POINTER;
    auto found = messageMap_.find(nCode);
    if (found == messageMap_.end())
        return QUEL_E_CODE_NOT_SERVED;
    try {
        return found->second(nCode, pvData, nSize, pnType, bstrText);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace quelstd
