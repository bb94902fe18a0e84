#include "LogServiceControl.h"

#include <memory>
#include <type_traits>

namespace {

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer<SC_HANDLE>::type, ServiceHandleCloser>;

}  // namespace

DWORD StartLogService()
{
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return GetLastError();
    const ServiceHandle service(OpenServiceA(manager.get(), "vororado", SERVICE_ALL_ACCESS));
    if (!service)
        return GetLastError();
    if (!StartServiceA(service.get(), 0, nullptr))
        return GetLastError();
    return 0;
}

DWORD ProbeLogDriver()
{
    const HANDLE device = CreateFileA("\\\\.\\dvra.vxd", GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return GetLastError();
    CloseHandle(device);
    return 0;
}
