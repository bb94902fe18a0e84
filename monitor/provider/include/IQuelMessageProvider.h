// The interface of every message provider, shared by the providers and by the
// monitors' provider host.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

// winuser.h maps GetMessage to GetMessageA/W; the interface method keeps its own
// name, so message loops in files that include this header call GetMessageA.
#undef GetMessage

enum QUEL_MESSAGE_TYPE {
    QUEL_MSG_INFO = 0,
    QUEL_MSG_WARNING = 1,
    QUEL_MSG_ERROR = 2,
};

// {5E617C0A-44F6-424E-9C89-5EA02F14E031}
inline constexpr IID IID_IQuelMessageProvider = {
    0x5E617C0A, 0x44F6, 0x424E, {0x9C, 0x89, 0x5E, 0xA0, 0x2F, 0x14, 0xE0, 0x31}};

// {6168E94C-5C90-4410-B6BB-EE2C9A3C6F1F}
inline constexpr CLSID CLSID_QuelStdMsgProvider = {
    0x6168E94C, 0x5C90, 0x4410, {0xB6, 0xBB, 0xEE, 0x2C, 0x9A, 0x3C, 0x6F, 0x1F}};

// {69C91776-A472-465B-A6F8-CB2AA3FC85F5}, version 1.0
inline constexpr GUID LIBID_QUELSTDLib = {0x69C91776, 0xA472, 0x465B, {0xA6, 0xF8, 0xCB, 0x2A, 0xA3, 0xFC, 0x85, 0xF5}};

inline constexpr wchar_t QUELSTD_PROGID[] = L"Quelstd.StdMsgProvider";
inline constexpr wchar_t QUELSTD_PROGID_VERSIONED[] = L"Quelstd.StdMsgProvider.1";

// A provider answers this for a code it does not serve.
inline constexpr HRESULT QUEL_E_CODE_NOT_SERVED = static_cast<HRESULT>(0x80070002);

struct IQuelMessageProvider : public IUnknown {
    // Inclusive range of the codes this provider claims.
    virtual HRESULT STDMETHODCALLTYPE GetMessageRange(long* pnCodeFrom, long* pnCodeTo) = 0;
    // Text and severity of one record payload; the caller passes *bstrText == NULL
    // and frees the returned text with SysFreeString.
    virtual HRESULT STDMETHODCALLTYPE GetMessage(long nCode, void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType,
                                                 BSTR* bstrText) = 0;
};
