#pragma once

// Which Windows family the program runs on.

// True on NT-family systems, which reach the log service over the named pipe (TCP elsewhere).
bool IsNtPlatform();

// True on Windows 95, 98 and Me (any platform id but VER_PLATFORM_WIN32_NT).
// There the IPv4 transport finishes its completions from its command queue
// instead of inside the completion routines.
bool IsNotNtPlatform();

// For testing: 1 or 0 answers for the system from now on; -1 asks the system again.
void SetNotNtPlatformForTesting(int answer);
