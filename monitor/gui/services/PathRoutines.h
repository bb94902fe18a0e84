#pragma once
#include <windows.h>
#include <string>

// Path routines of the tray monitor. Those that ask the system report nothing
// on failure: the result is then empty.

// The process's current directory.
std::string CurrentDirectory();

// Full path of the module's file; NULL is the program.
std::string ModulePath(HMODULE module);

// Drive and directory of the path with their trailing separator, as
// "C:\dir\" of "C:\dir\quel.exe"; empty when the path has neither.
std::string ModuleDir(const std::string& path);

// The last part of the path, name and extension; an extension that is only
// "." is dropped.
std::string FileNameWithExt(const std::string& path);

// The extension of the last part with its dot, or empty.
std::string FileExt(const std::string& path);

// directory + "\" + name, without a second separator and without one after an
// empty directory.
std::string PathJoin(const std::string& directory, const std::string& name);

// Whether the file or directory exists.
bool FileExists(const std::string& path);

// The full path of `path` taken relative to the directory of `baseFile` (a
// relative base is itself taken from the current directory). Computed from the
// names alone: the process's current directory is not changed, so other
// threads may run meanwhile.
std::string ResolveRelativeTo(const std::string& path, const std::string& baseFile);

// The system's full path of `path`; `filePart`, when given, receives the offset
// of the file-name part in the result, or npos when it ends in a separator.
std::string FullPathName(const std::string& path, size_t* filePart = nullptr);
