// A stand-in device with one port. Each device lives in pages of its own that
// are decommitted, their addresses kept reserved, when its last reference
// goes: a call through a stale device pointer then faults at once instead of
// reaching freed memory that still looks like a device.
#pragma once

#include "Configuration.h"
#include "DispatchObject.h"
#include "RuzuDeviceManager.h"

#include <cstddef>
#include <string>

namespace vspmanager {

class VspDevice final : public DispatchObject<VspDevice, IRuzuDevice, IID_IRuzuDevice> {
public:
    // `portFails`: the port lookup answers E_FAIL; the faults: what the device's
    // and its port's name calls give instead of their names.
    VspDevice(std::wstring port, bool portFails, NameFault nameFault, NameFault portNameFault);
    ~VspDevice();

    static void* operator new(std::size_t size);
    static void operator delete(void* block);

    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPort(long index, IRuzuPort** port) override;

private:
    const std::wstring port_;
    const bool portFails_;
    const NameFault nameFault_;
    const NameFault portNameFault_;
};

}  // namespace vspmanager
