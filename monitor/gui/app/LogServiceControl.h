#pragma once
#include <windows.h>

// Starts the log service through the service control manager: 0, or the
// system error code of the first step that failed.
DWORD StartLogService();

// Whether the log driver of Windows 9x is loaded: 0 when its device opens,
// else the system error code.
DWORD ProbeLogDriver();
