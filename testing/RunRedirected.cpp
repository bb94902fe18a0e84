#include "RunRedirected.h"

#include <algorithm>

#include "win32/Handles.h"

namespace {

constexpr DWORD kPollMs = 50;

// Takes what the pipe holds now, without waiting for more.
void Drain(HANDLE readEnd, std::string* output)
{
    char chunk[4096];
    DWORD available = 0, read = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
           ReadFile(readEnd, chunk, std::min<DWORD>(available, sizeof chunk), &read, nullptr) && read > 0)
        output->append(chunk, read);
}

}  // namespace

long RunRedirected(const std::string& commandLine, std::string* output, DWORD timeoutMs)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return -1;
    win32::UniqueHandle reader(readEnd);
    win32::UniqueHandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = writeEnd;
    si.hStdInput = nullptr;
    std::string line = commandLine;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &si, &pi);
    writer.reset();
    if (!started)
        return -1;
    win32::UniqueHandle process(pi.hProcess);
    win32::UniqueHandle thread(pi.hThread);
    // Read until the program ends, not until the pipe does: a process it starts
    // may hold the write end for much longer (Wine hands its desktop process
    // the starter's standard error), and a program that fills the pipe waits
    // for a reader before it can end.
    const DWORD start = GetTickCount();
    for (;;) {
        Drain(readEnd, output);
        if (WaitForSingleObject(pi.hProcess, kPollMs) == WAIT_OBJECT_0) {
            Drain(readEnd, output);
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            return static_cast<long>(code);
        }
        if (GetTickCount() - start > timeoutMs) {
            TerminateProcess(pi.hProcess, 1);
            return -1;
        }
    }
}
