#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

static_assert(sizeof(NOTIFYICONDATAA) == 504, "the notification record is the full-size ANSI one");

// One icon in the notification area, owned by a window that receives its
// callback message. Adding an icon that is there, changing or removing one that
// is not, does nothing.
class CTrayIcon {
public:
    CTrayIcon() = default;
    ~CTrayIcon() { Remove(); }
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    bool Add(HWND owner, UINT id, UINT callbackMessage, HICON icon, const std::string& tip);
    bool SetIcon(HICON icon);
    void Remove();
    bool IsPresent() const { return m_present; }

private:
    NOTIFYICONDATAA Record(UINT flags) const;

    HWND m_owner = nullptr;
    UINT m_id = 0;
    bool m_present = false;
};
