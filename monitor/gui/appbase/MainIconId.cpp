#include "MainIconId.h"

#include "QuelIds.h"

namespace {

UINT g_mainIconId = IDI_MAIN;

bool IsNt5OrLater()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           version.dwMajorVersion > 4;
}

}  // namespace

UINT MainIconId()
{
    return g_mainIconId;
}

void ChooseMainIcon()
{
    if (IsNt5OrLater())
        g_mainIconId = IDI_MAIN_NT5;
}
