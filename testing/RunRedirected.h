#pragma once
#include <windows.h>

#include <string>

// Runs a program without a console, its standard output and error into a
// pipe, and gathers what it writes until it exits: the exit code, or -1 when
// it could not be started or still ran after `timeoutMs` (it is then ended).
long RunRedirected(const std::string& commandLine, std::string* output, DWORD timeoutMs);
