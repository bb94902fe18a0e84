#pragma once
// Device contexts: CDC wraps a handle (attached ones are not released), CPaintDC,
// CClientDC and CWindowDC get and release theirs, CreateCompatibleDC makes a memory
// context that the object deletes. The handle converts to HDC for any GDI call.
#include <windows.h>

#include <string>

class CWnd;

class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    operator HDC() const { return m_hDC; }
    BOOL Attach(HDC dc);
    HDC Detach();
    BOOL CreateCompatibleDC(HDC dc);

    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    HGDIOBJ SelectStockObject(int index) { return ::SelectObject(m_hDC, GetStockObject(index)); }
    COLORREF SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }
    COLORREF SetBkColor(COLORREF colour) { return ::SetBkColor(m_hDC, colour); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    BOOL TextOut(int x, int y, const std::string& text)
    {
        return ::TextOutA(m_hDC, x, y, text.c_str(), int(text.size()));
    }
    int DrawText(const std::string& text, RECT& rect, UINT format)
    {
        return ::DrawTextA(m_hDC, text.c_str(), int(text.size()), &rect, format);
    }
    SIZE GetTextExtent(const std::string& text) const;
    void FillSolidRect(const RECT& rect, COLORREF colour);
    BOOL Rectangle(const RECT& r) { return ::Rectangle(m_hDC, r.left, r.top, r.right, r.bottom); }
    BOOL Ellipse(const RECT& r) { return ::Ellipse(m_hDC, r.left, r.top, r.right, r.bottom); }
    BOOL DrawEdge(RECT& rect, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, &rect, edge, flags); }
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }

protected:
    enum class Release { None, Delete, Window, Paint };
    Release m_release = Release::None;
    HWND m_hWnd = nullptr;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};
};

class CClientDC : public CDC {
public:
    explicit CClientDC(HWND window);  // null: the screen
};

class CWindowDC : public CDC {
public:
    explicit CWindowDC(HWND window);
};
