// The one port of a stand-in device.
#pragma once

#include "Configuration.h"
#include "DispatchObject.h"
#include "RuzuDeviceManager.h"

#include <string>

namespace vspmanager {

class VspPort final : public DispatchObject<VspPort, IRuzuPort, IID_IRuzuPort> {
public:
    VspPort(std::wstring name, NameFault nameFault) : name_(std::move(name)), nameFault_(nameFault) {}

    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;

private:
    const std::wstring name_;
    const NameFault nameFault_;
};

// A new BSTR copy of `text` in *out, or E_POINTER / E_OUTOFMEMORY.
HRESULT CopyToBstr(const std::wstring& text, BSTR* out);

// `text` as CopyToBstr gives it, unless `fault` says to fail or to give a null
// or an empty name instead.
HRESULT GiveName(const std::wstring& text, NameFault fault, BSTR* out);

}  // namespace vspmanager
