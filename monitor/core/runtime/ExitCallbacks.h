#pragma once
#include "runtime/StatusCodes.h"

// Process-wide registry through which facilities made on first use arrange
// their tear-down at framework shut-down. Entries run last registered first.
typedef void (*ExitRoutine)();

// 0, kStatusNoMemory, or kStatusInvalidState outside FrameworkStartup..FrameworkShutdown.
[[nodiscard]] NtStatus AtExitRegister(ExitRoutine routine);

// Used by the framework's start-up and shut-down.
void ExitCallbacksInit();     // empty registry and its lock
void ExitCallbacksRun();      // first entry, call, free, until empty (a routine may register more)
void ExitCallbacksDestroy();  // delete the lock
