#pragma once
// Opening and creating registry keys into their owner.
#include "win32/Handles.h"

// Opens an existing subkey; false when it is missing or cannot be opened.
// A failed call leaves no key behind, whatever it wrote into the result.
inline bool OpenRegistryKey(win32::UniqueRegKey& key, HKEY root, const char* path, REGSAM access)
{
    if (RegOpenKeyExA(root, path, 0, access, key.put()) != ERROR_SUCCESS)
        key.release();
    return static_cast<bool>(key);
}

// Opens the subkey, creating it and any missing parent when needed.
inline bool CreateRegistryKey(win32::UniqueRegKey& key, HKEY root, const char* path, REGSAM access)
{
    if (RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        key.release();
    return static_cast<bool>(key);
}
