#include "Configuration.h"

#include "RuzuDeviceManager.h"

#include <shlwapi.h>

namespace vspmanager {
namespace {

// The data of a text value with two terminators more, so that a value stored
// without its own still ends; false when it is absent or of another type.
bool QueryText(const wchar_t* name, DWORD expectedType, std::wstring* text)
{
    DWORD type = 0, size = 0;
    if (SHGetValueW(HKEY_CLASSES_ROOT, RUZU_DEVICE_MANAGER_PROGID, name, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != expectedType)
        return false;
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (SHGetValueW(HKEY_CLASSES_ROOT, RUZU_DEVICE_MANAGER_PROGID, name, &type, &data[0], &size) != ERROR_SUCCESS ||
        type != expectedType)
        return false;
    data.resize(size / sizeof(wchar_t));
    data.append(2, L'\0');
    *text = std::move(data);
    return true;
}

// The strings of a multi-string, up to its first empty one.
std::vector<std::wstring> SplitMultiString(const std::wstring& data)
{
    std::vector<std::wstring> strings;
    for (const wchar_t* s = data.c_str(); *s != L'\0'; s += wcslen(s) + 1)
        strings.emplace_back(s);
    return strings;
}

NameFault QueryNameFault(const wchar_t* name)
{
    std::wstring text;
    if (!QueryText(name, REG_SZ, &text))
        return NameFault::None;
    const std::wstring fault = text.c_str();
    return fault == L"fail"    ? NameFault::Fails
           : fault == L"null"  ? NameFault::Null
           : fault == L"empty" ? NameFault::Empty
                               : NameFault::None;
}

}  // namespace

Configuration ReadConfiguration()
{
    Configuration configuration;
    std::wstring text;
    if (QueryText(L"Ports", REG_MULTI_SZ, &text))
        configuration.ports = SplitMultiString(text);
    else
        configuration.ports = {L"COM1", L"COM2"};
    if (QueryText(L"FailingPort", REG_SZ, &text))
        configuration.failingPort = text.c_str();
    DWORD flag = 0, type = 0, size = sizeof(flag);
    if (SHGetValueW(HKEY_CLASSES_ROOT, RUZU_DEVICE_MANAGER_PROGID, L"FreeReleasedDevices", &type, &flag, &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD)
        configuration.freeReleasedDevices = flag != 0;
    configuration.deviceNameFault = QueryNameFault(L"DeviceNameFault");
    configuration.portNameFault = QueryNameFault(L"PortNameFault");
    return configuration;
}

}  // namespace vspmanager
