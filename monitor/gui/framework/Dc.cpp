#include "Dc.h"

#include "Wnd.h"

CDC::~CDC()
{
    switch (m_release) {
    case Release::Delete:
        ::DeleteDC(m_hDC);
        break;
    case Release::Window:
        ::ReleaseDC(m_hWnd, m_hDC);
        break;
    case Release::None:
    case Release::Paint:  // CPaintDC ends the paint itself
        break;
    }
}

BOOL CDC::Attach(HDC dc)
{
    if (!dc || m_hDC)
        return FALSE;
    m_hDC = dc;
    m_release = Release::None;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC dc = m_hDC;
    m_hDC = nullptr;
    m_release = Release::None;
    return dc;
}

BOOL CDC::CreateCompatibleDC(HDC dc)
{
    if (m_hDC)
        return FALSE;
    m_hDC = ::CreateCompatibleDC(dc);
    m_release = Release::Delete;
    return m_hDC != nullptr;
}

SIZE CDC::GetTextExtent(const std::string& text) const
{
    SIZE size{};
    ::GetTextExtentPoint32A(m_hDC, text.c_str(), int(text.size()), &size);
    return size;
}

void CDC::FillSolidRect(const RECT& rect, COLORREF colour)
{
    COLORREF old = ::SetBkColor(m_hDC, colour);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

CPaintDC::CPaintDC(CWnd* wnd)
{
    m_hWnd = wnd->m_hWnd;
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
    m_release = Release::Paint;
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(HWND window)
{
    m_hWnd = window;
    m_hDC = ::GetDC(window);
    m_release = Release::Window;
}

CWindowDC::CWindowDC(HWND window)
{
    m_hWnd = window;
    m_hDC = ::GetWindowDC(window);
    m_release = Release::Window;
}
