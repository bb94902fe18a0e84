#include "runtime/Platform.h"
#include <windows.h>

namespace {
volatile LONG g_answer = -1;
}

bool IsNotNtPlatform()
{
    LONG answer = g_answer;
    if (answer >= 0)
        return answer != 0;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the version query of every Windows");
    if (!GetVersionExA(&info))
        return false;
    return info.dwPlatformId != VER_PLATFORM_WIN32_NT;
}

// One query behind both answers, so that the testing answer steers the
// front ends' choice of endpoint and the IPv4 transport alike.
bool IsNtPlatform() { return !IsNotNtPlatform(); }

void SetNotNtPlatformForTesting(int answer) { InterlockedExchange(&g_answer, answer < 0 ? -1 : answer != 0); }
