// Temporary files for the tests that save a hex dump.
#pragma once

#include <windows.h>

#include <string>

namespace hexview_test {

// A path in the temporary folder, unique to the process and the name.
inline std::string TempPath(const char* name) {
    char directory[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + "hexview-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

// The file's bytes, "<missing>" when it cannot be read.
inline std::string FileContents(const std::string& path) {
    std::string contents;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got != 0)
        contents.append(buffer, got);
    CloseHandle(file);
    return contents;
}

}  // namespace hexview_test
