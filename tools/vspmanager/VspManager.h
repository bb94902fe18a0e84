// The stand-in manager: the configured ports as devices, each with one port.
// Unless the configuration says otherwise it holds a reference on each of its
// devices, as a driver's manager that caches them would.
#pragma once

#include "Configuration.h"
#include "DispatchObject.h"
#include "RuzuDeviceManager.h"
#include "VspDevice.h"
#include "win32/ComPtr.h"

#include <vector>

namespace vspmanager {

class VspManager final : public DispatchObject<VspManager, IRuzuDeviceManager, IID_IRuzuDeviceManager> {
public:
    // Reads the configuration; throws std::bad_alloc.
    VspManager() { Load(); }

    // Reads the configuration again; devices handed out before stay valid.
    HRESULT STDMETHODCALLTYPE Refresh() override;
    HRESULT STDMETHODCALLTYPE GetCount(long* count) override;
    HRESULT STDMETHODCALLTYPE GetDevice(long index, IRuzuDevice** device) override;

private:
    void Load();

    Configuration configuration_;
    std::vector<win32::ComPtr<VspDevice>> devices_;  // empty while none are kept
};

}  // namespace vspmanager
