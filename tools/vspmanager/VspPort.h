// The one port of a stand-in device.
#pragma once

#include "DispatchObject.h"
#include "RuzuDeviceManager.h"

#include <string>

namespace vspmanager {

class VspPort final : public DispatchObject<VspPort, IRuzuPort, IID_IRuzuPort> {
public:
    explicit VspPort(std::wstring name) : name_(std::move(name)) {}

    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;

private:
    const std::wstring name_;
};

// A new BSTR copy of `text` in *out, or E_POINTER / E_OUTOFMEMORY.
HRESULT CopyToBstr(const std::wstring& text, BSTR* out);

}  // namespace vspmanager
