#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The version resource of a file and its first translation, through which its
// strings ("ProductVersion", "FileDescription", ...) are read.
class CVersionInfo {
public:
    // Reads the version resource of the module's own file; NULL is the program.
    explicit CVersionInfo(HMODULE module = nullptr);

    // Replaces what was read before. False, leaving no block and no
    // translation, when the file has no version resource or no translation.
    bool Load(const std::string& file);

    // The string under the first translation, or empty when there is none.
    std::string VersionInfoGetString(const char* name) const;

    // 8 hexadecimal digits, language then code page (as in "040904b0"), or empty.
    const std::string& Translation() const { return translation_; }

private:
    std::vector<BYTE> block_;
    std::string translation_;
};

// "%s - V%s" of the string resource and the module's ProductVersion, at most
// 259 characters: the main window's title.
std::string BuildMainTitle(HINSTANCE instance, UINT stringId);
