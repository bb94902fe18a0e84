#include "TrayIcon.h"

#include "Shell.h"

NOTIFYICONDATAA CTrayIcon::Record(UINT flags) const
{
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = m_owner;
    data.uID = m_id;
    data.uFlags = flags;
    return data;
}

bool CTrayIcon::Add(HWND owner, UINT id, UINT callbackMessage, HICON icon, const std::string& tip)
{
    if (m_present)
        return true;
    m_owner = owner;
    m_id = id;
    NOTIFYICONDATAA data = Record(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = callbackMessage;
    data.hIcon = icon;
    lstrcpynA(data.szTip, tip.c_str(), sizeof data.szTip);
    m_present = NotifyIcon(NIM_ADD, &data) != FALSE;
    return m_present;
}

bool CTrayIcon::SetIcon(HICON icon)
{
    if (!m_present)
        return false;
    NOTIFYICONDATAA data = Record(NIF_ICON);
    data.hIcon = icon;
    return NotifyIcon(NIM_MODIFY, &data) != FALSE;
}

void CTrayIcon::Remove()
{
    if (!m_present)
        return;
    NOTIFYICONDATAA data = Record(0);
    NotifyIcon(NIM_DELETE, &data);
    m_present = false;
}
