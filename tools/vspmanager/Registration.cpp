#include "Registration.h"

#include "RuzuDeviceManager.h"
#include "ServerIds.h"

#include <shlwapi.h>

#include <string>

namespace vspmanager {
namespace {

constexpr wchar_t kClassName[] = L"Ruzu device manager (stand-in)";
const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClsidText;

// HKCR\path (created as needed) gets the string `value` under `name` (NULL:
// the key's default value).
HRESULT SetString(const std::wstring& path, const wchar_t* name, const wchar_t* value)
{
    return HRESULT_FROM_WIN32(SHSetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, REG_SZ, value,
                                          static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t))));
}

HRESULT DeleteTree(const std::wstring& path)
{
    DWORD error = SHDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
    return error == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace

HRESULT RegisterServer(const wchar_t* modulePath)
{
    const std::wstring progId = RUZU_DEVICE_MANAGER_PROGID;
    // The class key is replaced whole; the ProgID key keeps its configuration.
    HRESULT steps[] = {
        SetString(progId, nullptr, kClassName),
        SetString(progId + L"\\CLSID", nullptr, kClsidText),
        DeleteTree(kClassKey),
        SetString(kClassKey, nullptr, kClassName),
        SetString(kClassKey + L"\\ProgID", nullptr, RUZU_DEVICE_MANAGER_PROGID),
        SetString(kClassKey + L"\\InprocServer32", nullptr, modulePath),
        SetString(kClassKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
    };
    for (HRESULT hr : steps) {
        if (FAILED(hr)) {
            UnregisterServer();
            return hr;
        }
    }
    return S_OK;
}

HRESULT UnregisterServer()
{
    HRESULT classResult = DeleteTree(kClassKey);
    HRESULT progIdResult = DeleteTree(RUZU_DEVICE_MANAGER_PROGID);
    return FAILED(classResult) ? classResult : progIdResult;
}

}  // namespace vspmanager
