#pragma once
#include <windows.h>

// Sole owner of an icon loaded at a size of its own.
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
