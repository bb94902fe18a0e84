// Wire bytes and display text: controllers speak 8-bit text in the Windows-1251
// code page, whatever the ANSI code page of the machine the tool runs on.
#pragma once

#include <string>

namespace gatecfg {

std::wstring FromCp1251(const std::string& bytes);
// Characters without a Windows-1251 form become '?'.
std::string ToCp1251(const std::wstring& text);

}  // namespace gatecfg
