// Owner of one open registry key.
#pragma once

#include <windows.h>

namespace quelstd {

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey()
    {
        if (key_ != nullptr)
            RegCloseKey(key_);
    }

    HKEY get() const { return key_; }
    HKEY* receive() { return &key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace quelstd
