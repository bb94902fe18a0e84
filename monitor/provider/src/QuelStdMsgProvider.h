// The standard message provider object.
#pragma once

#include "IQuelMessageProvider.h"
#include "MessageHandlers.h"

#include <map>

namespace quelstd {

class QuelStdMsgProvider final : public IQuelMessageProvider {
public:
    // Builds the message map; may throw std::bad_alloc. Holds a module lock
    // for its lifetime and starts with a reference count of 0.
    QuelStdMsgProvider();
    QuelStdMsgProvider(const QuelStdMsgProvider&) = delete;
    QuelStdMsgProvider& operator=(const QuelStdMsgProvider&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetMessageRange(long* pnCodeFrom, long* pnCodeTo) override;
    HRESULT STDMETHODCALLTYPE GetMessage(long nCode, void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType,
                                         BSTR* bstrText) override;

private:
    ~QuelStdMsgProvider();
    void BuildMessageMap();

    // Apartment-threaded: plain counts suffice.
    ULONG refCount_ = 0;
    std::map<long, MessageHandler> messageMap_;
    long lowestCode_;
    long highestCode_;
};

}  // namespace quelstd
