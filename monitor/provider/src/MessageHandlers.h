// The per-code handlers: payload of one log record to severity and text.
#pragma once

#include "IQuelMessageProvider.h"

namespace quelstd {

// Writes the severity through pnType and a new BSTR through bstrText (the old
// value is not freed). Reads at most nSize bytes of pvData. E_OUTOFMEMORY when
// the text cannot be allocated. Both out pointers must be valid.
using MessageHandler = HRESULT (*)(long nCode, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType,
                                   BSTR* bstrText);

HRESULT OnDeviceOpened(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnDeviceClosed(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnConnectResult(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnConnectionAccepted(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnConnectionClosed(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnLogServiceConnectResult(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnLogServiceAccepted(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnLogServiceClosed(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnListenResult(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnResolveByName(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnResolveByMac(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);
HRESULT OnResolveResult(long, const void*, long, QUEL_MESSAGE_TYPE*, BSTR*);

}  // namespace quelstd
