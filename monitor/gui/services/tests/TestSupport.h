// Unique names, scratch registry keys and the helper program of the services tests.
#pragma once
#include "win32/Handles.h"

#include <windows.h>
#include <string>

namespace services_test {

// A name no other test run uses: the process id and a counter after `prefix`.
std::string UniqueName(const char* prefix);

// The text in double quotes, as one argument of a command line.
inline std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// A file in the directory of the running test program.
std::string BesideProgram(const std::string& fileName);

// A fresh key "Software\QuelServicesTest\<unique>" under the root, opened with
// all access and deleted with everything below it at the end.
class ScratchKey {
public:
    explicit ScratchKey(HKEY root);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY Get() const { return key_; }
    const std::string& Path() const { return path_; }

private:
    HKEY root_;
    std::string path_;
    HKEY key_ = nullptr;
};

// quel_services_helper.exe (or another program) started with `arguments`.
class HelperProcess {
public:
    explicit HelperProcess(const std::string& arguments,
                           const std::string& program = BesideProgram("quel_services_helper.exe"));
    bool Started() const { return static_cast<bool>(process_); }
    // The exit code once the process ended within the time; otherwise the
    // process is killed and kTimedOut returned.
    DWORD Finish(DWORD timeoutMs = 20000);

    static constexpr DWORD kTimedOut = 0xDEAD0001;
    static constexpr DWORD kNotStarted = 0xDEAD0002;

private:
    win32::UniqueHandle process_;
};

// The helper's exit code for `arguments`, bounded as Finish is.
DWORD RunHelper(const std::string& arguments);

}  // namespace services_test
