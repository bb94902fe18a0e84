#include "LogServiceControl.h"

#include "win32/Handles.h"

DWORD StartLogService()
{
    const win32::UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return GetLastError();
    const win32::UniqueServiceHandle service(OpenServiceA(manager.get(), "vororado", SERVICE_ALL_ACCESS));
    if (!service)
        return GetLastError();
    if (!StartServiceA(service.get(), 0, nullptr))
        return GetLastError();
    return 0;
}

DWORD ProbeLogDriver()
{
    const win32::UniqueHandle device(CreateFileA("\\\\.\\dvra.vxd", GENERIC_READ | GENERIC_WRITE,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                                 nullptr));
    return device ? 0 : GetLastError();
}
