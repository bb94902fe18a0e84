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
    RegistryKey run;
    if (!run.Create(root, kRunKeyPath, KEY_SET_VALUE))
        return false;
    if (!on)
        return RegDeleteValueA(run.Get(), kAutorunValueName) == ERROR_SUCCESS;
    const std::string command = AutorunCommand(ModulePath(nullptr));
    return RegSetValueExA(run.Get(), kAutorunValueName, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(command.c_str()),
                          static_cast<DWORD>(command.size() + 1)) == ERROR_SUCCESS;
}

bool AutorunIsSet(HKEY root)
{
    RegistryKey run;
    return run.Open(root, kRunKeyPath, KEY_QUERY_VALUE) &&
           RegQueryValueExA(run.Get(), kAutorunValueName, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
}
