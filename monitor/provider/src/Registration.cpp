#include "Registration.h"

#include "IQuelMessageProvider.h"
#include "win32/ComPtr.h"
#include "win32/Handles.h"

#include <shlwapi.h>

#include <string>

namespace quelstd {
namespace {

constexpr wchar_t kClassName[] = L"QuelStdMsgProvider Class";
constexpr wchar_t kClsidText[] = L"{6168E94C-5C90-4410-B6BB-EE2C9A3C6F1F}";
constexpr wchar_t kLibidText[] = L"{69C91776-A472-465B-A6F8-CB2AA3FC85F5}";
constexpr wchar_t kClsidKey[] = L"CLSID\\{6168E94C-5C90-4410-B6BB-EE2C9A3C6F1F}";
constexpr LCID kTypeLibLcid = 0x409;

// Creates HKCR\path (and its parents) and sets one string value; a NULL name
// sets the key's default value.
HRESULT SetString(const std::wstring& path, const wchar_t* name, const wchar_t* value)
{
    win32::UniqueRegKey key;
    LONG error =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr);
    if (error == ERROR_SUCCESS && value != nullptr)
        error = RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                               static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(error);
}

HRESULT DeleteTree(const std::wstring& path)
{
    DWORD error = SHDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
    return error == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(error);
}

bool KeyExists(const std::wstring& path)
{
    win32::UniqueRegKey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// A ProgID key loses the subkeys it was given, and goes itself only when
// nothing else was added below it.
HRESULT RemoveProgId(const wchar_t* progId, std::initializer_list<const wchar_t*> subkeys)
{
    std::wstring base = progId;
    for (const wchar_t* subkey : subkeys) {
        HRESULT hr = DeleteTree(base + L"\\" + subkey);
        if (FAILED(hr))
            return hr;
    }
    DWORD remaining = 0;
    {
        win32::UniqueRegKey key;
        LONG error = RegOpenKeyExW(HKEY_CLASSES_ROOT, progId, 0, KEY_READ, key.put());
        if (error == ERROR_FILE_NOT_FOUND)
            return S_OK;
        if (error == ERROR_SUCCESS)
            error = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &remaining, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(error);
    }
    return remaining == 0 ? HRESULT_FROM_WIN32(RegDeleteKeyW(HKEY_CLASSES_ROOT, progId)) : S_OK;
}

HRESULT WriteKeys(const wchar_t* modulePath)
{
    const std::wstring classKey = kClsidKey;
    // The class key is replaced whole, so nothing of an older registration stays.
    HRESULT steps[] = {
        SetString(QUELSTD_PROGID_VERSIONED, nullptr, kClassName),
        SetString(std::wstring(QUELSTD_PROGID_VERSIONED) + L"\\CLSID", nullptr, kClsidText),
        SetString(QUELSTD_PROGID, nullptr, kClassName),
        SetString(std::wstring(QUELSTD_PROGID) + L"\\CLSID", nullptr, kClsidText),
        SetString(std::wstring(QUELSTD_PROGID) + L"\\CurVer", nullptr, QUELSTD_PROGID_VERSIONED),
        DeleteTree(classKey),
        SetString(classKey, nullptr, kClassName),
        SetString(classKey + L"\\ProgID", nullptr, QUELSTD_PROGID_VERSIONED),
        SetString(classKey + L"\\VersionIndependentProgID", nullptr, QUELSTD_PROGID),
        SetString(classKey + L"\\Programmable", nullptr, nullptr),
        SetString(classKey + L"\\InprocServer32", nullptr, modulePath),
        SetString(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
        SetString(classKey + L"\\TypeLib", nullptr, kLibidText),
    };
    for (HRESULT hr : steps)
        if (FAILED(hr))
            return hr;
    return S_OK;
}

HRESULT RegisterEmbeddedTypeLib(const wchar_t* modulePath)
{
    win32::ComPtr<ITypeLib> typeLib;
    const HRESULT hr = LoadTypeLibEx(modulePath, REGKIND_NONE, typeLib.put());
    if (FAILED(hr))
        return hr;
    return RegisterTypeLib(typeLib.get(), const_cast<wchar_t*>(modulePath), nullptr);
}

}  // namespace

HRESULT RegisterServer(const wchar_t* modulePath)
{
    HRESULT hr = WriteKeys(modulePath);
    if (SUCCEEDED(hr))
        hr = RegisterEmbeddedTypeLib(modulePath);
    if (FAILED(hr))
        UnregisterServer();
    return hr;
}

HRESULT UnregisterServer()
{
    HRESULT result = S_OK;
    // Some systems answer E_INVALIDARG for a library that is not registered.
    if (KeyExists(std::wstring(L"TypeLib\\") + kLibidText + L"\\1.0"))
        result = UnRegisterTypeLib(LIBID_QUELSTDLib, 1, 0, kTypeLibLcid, SYS_WIN32);
    HRESULT steps[] = {
        DeleteTree(kClsidKey),
        RemoveProgId(QUELSTD_PROGID, {L"CLSID", L"CurVer"}),
        RemoveProgId(QUELSTD_PROGID_VERSIONED, {L"CLSID"}),
    };
    for (HRESULT hr : steps)
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    return result;
}

}  // namespace quelstd
