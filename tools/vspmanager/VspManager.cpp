#include "VspManager.h"

namespace vspmanager {
namespace {

VspDevice* NewDevice(const Configuration& configuration, size_t index)
{
    const std::wstring& port = configuration.ports[index];
    return new VspDevice(port, port == configuration.failingPort, configuration.deviceNameFault,
                         configuration.portNameFault);
}

}  // namespace

void VspManager::Load()
{
    Configuration configuration = ReadConfiguration();
    std::vector<win32::ComPtr<VspDevice>> devices;
    if (!configuration.freeReleasedDevices) {
        devices.reserve(configuration.ports.size());
        for (size_t i = 0; i < configuration.ports.size(); ++i)
            devices.push_back(win32::ComPtr<VspDevice>::Adopt(NewDevice(configuration, i)));
    }
    configuration_ = std::move(configuration);
    devices_ = std::move(devices);
}

HRESULT VspManager::Refresh()
{
    return Guarded([&] {
        Load();
        return S_OK;
    });
}

HRESULT VspManager::GetCount(long* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = static_cast<long>(configuration_.ports.size());
    return S_OK;
}

HRESULT VspManager::GetDevice(long index, IRuzuDevice** device)
{
    if (device == nullptr)
        return E_POINTER;
    *device = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= configuration_.ports.size())
        return E_INVALIDARG;
    if (!configuration_.freeReleasedDevices) {
        *device = devices_[index].get();
        (*device)->AddRef();
        return S_OK;
    }
    return Guarded([&] {
        *device = NewDevice(configuration_, index);
        return S_OK;
    });
}

}  // namespace vspmanager
