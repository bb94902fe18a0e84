#pragma once
#include <windows.h>

// Sole owner of one open registry key.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens an existing subkey; false when it is missing or cannot be opened.
    bool Open(HKEY root, const char* path, REGSAM access)
    {
        return Took(RegOpenKeyExA(root, path, 0, access, Put()));
    }
    // Opens the subkey, creating it and any missing parent when needed.
    bool Create(HKEY root, const char* path, REGSAM access)
    {
        return Took(RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                    nullptr, Put(), nullptr));
    }
    HKEY Get() const { return key_; }

private:
    HKEY* Put()
    {
        if (key_)
            RegCloseKey(key_);
        key_ = nullptr;
        return &key_;
    }
    // A failed call leaves no key behind, whatever it wrote into the result.
    bool Took(LONG result)
    {
        if (result != ERROR_SUCCESS)
            key_ = nullptr;
        return key_ != nullptr;
    }

    HKEY key_ = nullptr;
};
