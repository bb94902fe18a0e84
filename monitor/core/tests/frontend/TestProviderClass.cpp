#include "TestProviderClass.h"

#include <objbase.h>
#include <shlwapi.h>

#include <cstdio>

namespace provider_host_test {

namespace {

bool SetString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG error = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return error == ERROR_SUCCESS;
}

bool SetDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG error = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
    return error == ERROR_SUCCESS;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

ScopedProviderClass::ScopedProviderClass(const char* name, const ProviderBehaviour& behaviour)
    : progId_(std::string("QuelCoreTest.") + name)
{
    GUID clsid;
    wchar_t guid[40] = {};
    if (FAILED(CoCreateGuid(&clsid)) || StringFromGUID2(clsid, guid, 40) == 0)
        return;
    classKey_ = std::wstring(L"CLSID\\") + guid;
    const std::wstring server = classKey_ + L"\\InprocServer32";
    registered_ = SetString(HKEY_CLASSES_ROOT, Widen(progId_) + L"\\CLSID", nullptr, guid) &&
                  SetString(HKEY_CLASSES_ROOT, classKey_, L"Name", Widen(name)) &&
                  SetDword(HKEY_CLASSES_ROOT, classKey_, L"RangeFrom", static_cast<DWORD>(behaviour.rangeFrom)) &&
                  SetDword(HKEY_CLASSES_ROOT, classKey_, L"RangeTo", static_cast<DWORD>(behaviour.rangeTo)) &&
                  SetDword(HKEY_CLASSES_ROOT, classKey_, L"RangeResult", static_cast<DWORD>(behaviour.rangeResult)) &&
                  SetDword(HKEY_CLASSES_ROOT, classKey_, L"MessageResult",
                           static_cast<DWORD>(behaviour.messageResult)) &&
                  SetString(HKEY_CLASSES_ROOT, server, nullptr, BesideProgram(L"core_test_provider.dll")) &&
                  SetString(HKEY_CLASSES_ROOT, server, L"ThreadingModel", L"Apartment");
}

ScopedProviderClass::~ScopedProviderClass()
{
    SHDeleteKeyW(HKEY_CLASSES_ROOT, Widen(progId_).c_str());
    if (!classKey_.empty())
        SHDeleteKeyW(HKEY_CLASSES_ROOT, classKey_.c_str());
}

ScopedIniFile::ScopedIniFile(const std::string& contents)
{
    static unsigned serial = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    char directory[MAX_PATH] = {};
    std::snprintf(directory, sizeof(directory), "%squelhost-%lu-%u", temp, GetCurrentProcessId(), ++serial);
    directory_ = directory;
    path_ = directory_ + "\\quel.ini";
    CreateDirectoryA(directory_.c_str(), nullptr);
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(file);
}

ScopedIniFile::~ScopedIniFile()
{
    DeleteFileA(path_.c_str());
    RemoveDirectoryA(directory_.c_str());
}

TestProviderModule::TestProviderModule()
{
    module_.reset(LoadLibraryW(BesideProgram(L"core_test_provider.dll").c_str()));
    if (!module_)
        return;
    liveObjects_ = reinterpret_cast<LONG(__cdecl*)()>(GetProcAddress(module_.get(), "TestProviderLiveObjects"));
    messageCalls_ = reinterpret_cast<LONG(__cdecl*)()>(GetProcAddress(module_.get(), "TestProviderMessageCalls"));
}

}  // namespace provider_host_test
