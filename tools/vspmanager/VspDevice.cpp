#include "VspDevice.h"

#include "VspPort.h"

namespace vspmanager {

VspDevice::VspDevice(std::wstring port, bool portFails, NameFault nameFault, NameFault portNameFault)
    : port_(std::move(port)), portFails_(portFails), nameFault_(nameFault), portNameFault_(portNameFault)
{
    DeviceCreated();
}

VspDevice::~VspDevice() { DeviceDestroyed(); }

void* VspDevice::operator new(std::size_t size)
{
    void* block = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void VspDevice::operator delete(void* block)
{
    if (block != nullptr)
        VirtualFree(block, 0, MEM_DECOMMIT);
}

HRESULT VspDevice::GetName(BSTR* name)
{
    return Guarded([&] { return GiveName(L"Virtual serial port " + port_, nameFault_, name); });
}

HRESULT VspDevice::GetPort(long index, IRuzuPort** port)
{
    if (port == nullptr)
        return E_POINTER;
    *port = nullptr;
    if (index != 0)
        return E_INVALIDARG;
    if (portFails_)
        return E_FAIL;
    return Guarded([&] {
        *port = new VspPort(port_, portNameFault_);
        return S_OK;
    });
}

}  // namespace vspmanager
