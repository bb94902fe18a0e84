#include "PathRoutines.h"

#include <cctype>
#include <vector>

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool HasDrive(const std::string& path)
{
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

// Where the last part of the path (name and extension) begins.
size_t LastPartStart(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/");
    if (separator != std::string::npos)
        return separator + 1;
    return HasDrive(path) ? 2 : 0;
}

// Offset of the last part's extension (its dot), or npos.
size_t ExtensionStart(const std::string& path)
{
    const size_t dot = path.rfind('.');
    return dot != std::string::npos && dot >= LastPartStart(path) ? dot : std::string::npos;
}

// "C:" of a drive path, "\\server\share" of a UNC one, else empty.
std::string RootOf(const std::string& fullPath)
{
    if (HasDrive(fullPath))
        return fullPath.substr(0, 2);
    if (fullPath.size() < 2 || !IsSeparator(fullPath[0]) || !IsSeparator(fullPath[1]))
        return std::string();
    const size_t share = fullPath.find_first_of("\\/", 2);
    const size_t end = share == std::string::npos ? share : fullPath.find_first_of("\\/", share + 1);
    return fullPath.substr(0, end);
}

// The path as it would read with `directory` (full, ending in a separator) as
// the current directory of the current drive.
std::string AnchoredAt(const std::string& path, const std::string& directory)
{
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return path;  // UNC
    if (!path.empty() && IsSeparator(path[0]))
        return RootOf(directory) + path;
    if (HasDrive(path)) {
        if (path.size() > 2 && IsSeparator(path[2]))
            return path;
        const bool sameDrive = HasDrive(directory) &&
                               std::toupper(static_cast<unsigned char>(path[0])) ==
                                   std::toupper(static_cast<unsigned char>(directory[0]));
        return sameDrive ? directory + path.substr(2) : path;
    }
    return directory + path;
}

}  // namespace

std::string CurrentDirectory()
{
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    if (size == 0)
        return std::string();
    std::vector<char> buffer(size);
    const DWORD length = GetCurrentDirectoryA(size, buffer.data());
    return length < size ? std::string(buffer.data(), length) : std::string();
}

std::string ModulePath(HMODULE module)
{
    // A path cut short would name another file: grow until it fits.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<char> buffer(size);
        const DWORD length = GetModuleFileNameA(module, buffer.data(), size);
        if (length == 0)
            return std::string();
        if (length < size)
            return std::string(buffer.data(), length);
    }
    return std::string();
}

std::string ModuleDir(const std::string& path)
{
    return path.substr(0, LastPartStart(path));
}

std::string FileNameWithExt(const std::string& path)
{
    std::string name = path.substr(LastPartStart(path));
    if (FileExt(path) == ".")
        name.pop_back();
    return name;
}

std::string FileExt(const std::string& path)
{
    const size_t dot = ExtensionStart(path);
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string PathJoin(const std::string& directory, const std::string& name)
{
    if (directory.empty() || IsSeparator(directory.back()))
        return directory + name;
    return directory + "\\" + name;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ResolveRelativeTo(const std::string& path, const std::string& baseFile)
{
    const std::string baseDirectory = ModuleDir(FullPathName(baseFile));
    return FullPathName(AnchoredAt(path, baseDirectory));
}

std::string FullPathName(const std::string& path, size_t* filePart)
{
    if (filePart)
        *filePart = std::string::npos;
    const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return std::string();
    std::vector<char> buffer(size);
    char* part = nullptr;
    const DWORD length = GetFullPathNameA(path.c_str(), size, buffer.data(), &part);
    if (length == 0 || length >= size)
        return std::string();
    if (filePart && part)
        *filePart = static_cast<size_t>(part - buffer.data());
    return std::string(buffer.data(), length);
}
