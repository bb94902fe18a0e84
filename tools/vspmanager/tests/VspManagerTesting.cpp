#include "VspManagerTesting.h"

#include "RuzuDeviceManager.h"

#include <shlwapi.h>

namespace vspmanager_test {
namespace {

constexpr const wchar_t* kValues[] = {L"Ports", L"FailingPort", L"FreeReleasedDevices", L"DeviceNameFault",
                                      L"PortNameFault"};

bool SetValue(const wchar_t* name, DWORD type, const void* data, size_t size)
{
    return SHSetValueW(HKEY_CLASSES_ROOT, RUZU_DEVICE_MANAGER_PROGID, name, type, data, static_cast<DWORD>(size)) ==
           ERROR_SUCCESS;
}

// An empty text sets nothing.
bool SetText(const wchar_t* name, const std::wstring& text)
{
    return text.empty() || SetValue(name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

// An export of the loaded server, or none while it is not loaded.
void* ServerExport(const char* name)
{
    HMODULE module = GetModuleHandleW(ServerPath().c_str());
    return module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

}  // namespace

std::wstring ServerPath() { return quelstd_test::BesideProgram(L"vspmanager.dll"); }

DWORD RegisterServer(const std::wstring& switches) { return quelstd_test::Regsvr32(switches, ServerPath()); }

void ClearConfiguration()
{
    for (const wchar_t* name : kValues)
        SHDeleteValueW(HKEY_CLASSES_ROOT, RUZU_DEVICE_MANAGER_PROGID, name);
}

ScopedConfiguration::ScopedConfiguration(const Settings& settings)
{
    ClearConfiguration();
    applied_ = true;
    if (settings.ports) {
        std::wstring multi;
        for (const std::wstring& port : *settings.ports)
            multi.append(port).push_back(L'\0');
        multi.push_back(L'\0');
        applied_ = SetValue(L"Ports", REG_MULTI_SZ, multi.data(), multi.size() * sizeof(wchar_t));
    }
    applied_ = applied_ && SetText(L"FailingPort", settings.failingPort) &&
               SetText(L"DeviceNameFault", settings.deviceNameFault) &&
               SetText(L"PortNameFault", settings.portNameFault);
    if (settings.freeReleasedDevices) {
        const DWORD one = 1;
        applied_ = applied_ && SetValue(L"FreeReleasedDevices", REG_DWORD, &one, sizeof(one));
    }
}

ScopedConfiguration::~ScopedConfiguration() { ClearConfiguration(); }

LONG LiveDevices()
{
    auto liveDevices = reinterpret_cast<LONG(__cdecl*)()>(ServerExport("VspManagerLiveDevices"));
    return liveDevices != nullptr ? liveDevices() : 0;
}

HRESULT ServerCanUnloadNow()
{
    auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(ServerExport("DllCanUnloadNow"));
    return canUnloadNow != nullptr ? canUnloadNow() : S_OK;
}

}  // namespace vspmanager_test
