#include "Autorun.h"

#include "PathRoutines.h"
#include "RegistryKey.h"

std::string AutorunCommand(const std::string& programPath)
{
    const bool quoted = programPath.find_first_of(" \t") != std::string::npos;
    const std::string path = quoted ? "\"" + programPath + "\"" : programPath;
    return path + " /minimize";
}

bool SetAutorun(bool on, HKEY root)
{
    win32::UniqueRegKey run;
    if (!CreateRegistryKey(run, root, kRunKeyPath, KEY_SET_VALUE))
        return false;
    if (!on)
        return RegDeleteValueA(run.get(), kAutorunValueName) == ERROR_SUCCESS;
    const std::string command = AutorunCommand(ModulePath(nullptr));
    return RegSetValueExA(run.get(), kAutorunValueName, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(command.c_str()),
                          static_cast<DWORD>(command.size() + 1)) == ERROR_SUCCESS;
}

bool AutorunIsSet(HKEY root)
{
    win32::UniqueRegKey run;
    return OpenRegistryKey(run, root, kRunKeyPath, KEY_QUERY_VALUE) &&
           RegQueryValueExA(run.get(), kAutorunValueName, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
}
