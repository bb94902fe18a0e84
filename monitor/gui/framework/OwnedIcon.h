#pragma once
#include <windows.h>

// Sole owner of an icon loaded at a size of its own (LoadImage's icons are not
// shared, so each must be destroyed).
class OwnedIcon {
public:
    explicit OwnedIcon(HICON icon = nullptr) : m_icon(icon) {}
    ~OwnedIcon()
    {
        if (m_icon)
            DestroyIcon(m_icon);
    }
    OwnedIcon(const OwnedIcon&) = delete;
    OwnedIcon& operator=(const OwnedIcon&) = delete;
    HICON Get() const { return m_icon; }

private:
    HICON m_icon;
};

// The program's icon resource `id` at the system's small-icon size; null when missing.
HICON LoadSmallIcon(UINT id);
