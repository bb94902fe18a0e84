#include "TestSupport.h"

#include "PathRoutines.h"

#include <shlwapi.h>

namespace services_test {

namespace {
constexpr char kScratchParent[] = "Software\\QuelServicesTest";
}

std::string UniqueName(const char* prefix)
{
    static LONG counter = 0;
    return std::string(prefix) + " " + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(InterlockedIncrement(&counter));
}

std::string BesideProgram(const std::string& fileName)
{
    return ModuleDir(ModulePath(nullptr)) + fileName;
}

ScratchKey::ScratchKey(HKEY root)
    : root_(root), path_(std::string(kScratchParent) + "\\" + UniqueName("key"))
{
    RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                    nullptr, &key_, nullptr);
}

ScratchKey::~ScratchKey()
{
    if (key_)
        RegCloseKey(key_);
    SHDeleteKeyA(root_, path_.c_str());
    RegDeleteKeyA(root_, kScratchParent);  // only once no other scratch key is left
}

HelperProcess::HelperProcess(const std::string& arguments, const std::string& program)
{
    std::string command = Quoted(program) + " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return;
    CloseHandle(process.hThread);
    process_.reset(process.hProcess);
}

DWORD HelperProcess::Finish(DWORD timeoutMs)
{
    if (!Started())
        return kNotStarted;
    if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process_.get(), kTimedOut);
        WaitForSingleObject(process_.get(), 5000);
        return kTimedOut;
    }
    DWORD code = kNotStarted;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

DWORD RunHelper(const std::string& arguments)
{
    return HelperProcess(arguments).Finish();
}

}  // namespace services_test
