#include "VersionInfo.h"

#include "PathRoutines.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kTitleLimit = MAX_PATH;  // characters with the terminator

}  // namespace

CVersionInfo::CVersionInfo(HMODULE module)
{
    Load(ModulePath(module));
}

bool CVersionInfo::Load(const std::string& file)
{
    block_.clear();
    translation_.clear();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data()))
        return false;
    void* entry = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &entry, &length) ||
        length < sizeof(DWORD))
        return false;
    // Each entry is {u16 language, u16 code page}; the text puts the language first.
    WORD pair[2];
    std::memcpy(pair, entry, sizeof pair);
    char text[9];
    std::snprintf(text, sizeof text, "%04x%04x", pair[0], pair[1]);
    block_.swap(block);
    translation_ = text;
    return true;
}

std::string CVersionInfo::VersionInfoGetString(const char* name) const
{
    if (block_.empty())
        return std::string();
    const std::string path = "\\StringFileInfo\\" + translation_ + "\\" + name;
    void* text = nullptr;
    UINT length = 0;
    // The query reads the block only; it takes a non-const pointer all the same.
    if (!VerQueryValueA(const_cast<BYTE*>(block_.data()), path.c_str(), &text, &length) || !text)
        return std::string();
    const char* characters = static_cast<const char*>(text);
    return std::string(characters, strnlen(characters, length));
}

std::string BuildMainTitle(HINSTANCE instance, UINT stringId)
{
    const std::string version = CVersionInfo(instance).VersionInfoGetString("ProductVersion");
    char title[kTitleLimit] = {};
    LoadStringA(instance, stringId, title, kTitleLimit);
    char result[kTitleLimit];
    std::snprintf(result, sizeof result, "%s - V%s", title, version.c_str());
    return result;
}
