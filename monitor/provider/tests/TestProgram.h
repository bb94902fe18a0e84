// Files beside the running test program, their registration through the
// system's regsvr32 and what it wrote, for every test that registers a COM server.
#pragma once

#include <windows.h>

#include <string>

namespace quelstd_test {

// Full path of a file in the directory of the running test program.
inline std::wstring BesideProgram(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring result(path, length);
    return result.substr(0, result.find_last_of(L"\\/") + 1) + fileName;
}

// Exit code of regsvr32 with `switches` on the DLL at `path`.
inline DWORD Regsvr32(const std::wstring& switches, const std::wstring& path)
{
    std::wstring command = L"regsvr32.exe " + switches + L" \"" + path + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError() | 0x80000000;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Whether HKEY_CLASSES_ROOT\path exists.
inline bool ClassesKeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The string value `name` (NULL: default) of HKEY_CLASSES_ROOT\path, or "<missing>".
inline std::wstring ClassesString(const std::wstring& path, const wchar_t* name = nullptr)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t data[MAX_PATH + 1] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    LONG error = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return error == ERROR_SUCCESS && type == REG_SZ ? data : L"<missing>";
}

}  // namespace quelstd_test
