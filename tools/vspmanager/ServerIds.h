// The stand-in's own class id, under which it registers "Ruzu.DeviceManager".
#pragma once

#include <windows.h>

namespace vspmanager {

// {5FC953CB-007C-4C37-9F24-092BBFA85A75}
inline constexpr CLSID CLSID_VspManager = {
    0x5FC953CB, 0x007C, 0x4C37, {0x9F, 0x24, 0x09, 0x2B, 0xBF, 0xA8, 0x5A, 0x75}};
inline constexpr wchar_t kClsidText[] = L"{5FC953CB-007C-4C37-9F24-092BBFA85A75}";

}  // namespace vspmanager
