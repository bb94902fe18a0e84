#include "LinkLabel.h"

#include <cstdlib>
#include <string>

#include "Dc.h"
#include "Shell.h"
#include "WinApp.h"
#include "win32/Handles.h"

RUNTIME_CLASS_IMPLEMENT(CLinkLabel, CStatic)

namespace {

// The help viewer's hand, else the up arrow; a copy that the label owns.
HCURSOR LoadHandCursor()
{
    char directory[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
    HCURSOR hand = nullptr;
    if (length > 0 && length < MAX_PATH) {
        std::string viewer = std::string(directory, length) + "\\winhlp32.exe";
        // Only its resources are wanted: none of its code runs.
        const win32::UniqueModule module(LoadLibraryExA(viewer.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        const HCURSOR shared = module ? LoadCursorA(module.get(), MAKEINTRESOURCEA(106)) : nullptr;
        if (shared)
            hand = CopyCursor(shared);
    }
    return hand ? hand : CopyCursor(LoadCursorA(nullptr, IDC_UPARROW));
}

}  // namespace

CLinkLabel::CLinkLabel()
    : m_textColour(GetSysColor(COLOR_WINDOWTEXT)), m_backColour(GetSysColor(COLOR_BTNFACE))
{
    m_handCursor.reset(LoadHandCursor());
    LOGFONTA font{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    MakeFonts(font);
    m_backBrush.CreateSolidBrush(m_backColour);
}

const MessageMap* CLinkLabel::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnMessage<WM_SETCURSOR, &CLinkLabel::OnSetCursor>(),
        OnMessage<WM_SETTEXT, &CLinkLabel::OnSetText>(),
        OnMessage<WM_SETFONT, &CLinkLabel::OnSetFont>(),
        OnMessage<WM_PAINT, &CLinkLabel::OnPaint>(),
        OnMessage<WM_LBUTTONDOWN, &CLinkLabel::OnLButtonDown>(),
        OnMessage<WM_SIZE, &CLinkLabel::OnSizeMessage>(),
    };
    static const MessageMap map = MakeMessageMap(CStatic::GetMessageMap(), entries);
    return &map;
}

void CLinkLabel::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    ModifyStyle(0, SS_NOTIFY);  // a static without it lets the mouse through to its parent
    LayOut();
}

void CLinkLabel::MakeFonts(const LOGFONTA& font)
{
    m_font.DeleteObject();
    m_linkFont.DeleteObject();
    m_font.CreateFontIndirect(font);
    LOGFONTA underlined = font;
    underlined.lfUnderline = 1;
    m_linkFont.CreateFontIndirect(underlined);
}

void CLinkLabel::LayOut()
{
    if (!m_hWnd)
        return;
    std::string text = GetWindowText();
    CRect client = GetClientRect();
    CClientDC dc(m_hWnd);
    HGDIOBJ oldFont = dc.SelectObject(m_font.GetSafeHandle());
    int lineHeight = dc.GetTextExtent("|").cy;
    m_layout = LayoutLabelText(text, client.Width(), client.Height(), GetStyle(), lineHeight,
                               [&dc](const char* piece, size_t length) {
                                   SIZE size{};
                                   GetTextExtentPoint32A(dc, piece, int(length), &size);
                                   return int(size.cx);
                               });
    dc.SelectObject(oldFont);
}

LRESULT CLinkLabel::OnSetCursor(WPARAM, LPARAM)
{
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(m_hWnd, &point);
    if (HitTestLabel(m_layout, point) >= 0)
        SetCursor(m_handCursor.get());
    else
        SetCursor(reinterpret_cast<HCURSOR>(GetClassLongPtrA(m_hWnd, GCLP_HCURSOR)));
    return TRUE;
}

LRESULT CLinkLabel::OnSetText(WPARAM, LPARAM)
{
    LRESULT result = Default();
    LayOut();
    Invalidate(FALSE);
    return result;
}

LRESULT CLinkLabel::OnSetFont(WPARAM font, LPARAM)
{
    LOGFONTA description{};
    if (font && GetObjectA(reinterpret_cast<HGDIOBJ>(font), sizeof description, &description)) {
        MakeFonts(description);
        LayOut();
        Invalidate(FALSE);
    }
    return Default();
}

LRESULT CLinkLabel::OnSizeMessage(WPARAM, LPARAM)
{
    LRESULT result = Default();
    LayOut();
    Invalidate(FALSE);
    return result;
}

LRESULT CLinkLabel::OnPaint(WPARAM, LPARAM)
{
    CPaintDC dc(this);
    HGDIOBJ oldFont = dc.SelectObject(m_font.GetSafeHandle());
    bool transparent = (GetExStyle() & WS_EX_TRANSPARENT) != 0;
    if (transparent)
        dc.SetBkMode(TRANSPARENT);
    else
        dc.SetBkColor(m_backColour);
    // Fillers first, then the texts unclipped: a glyph that reaches past its cell
    // (the last one of a link, an italic one) is not cut off by the filler after it.
    if (!transparent)
        for (const LabelSegment& segment : m_layout.segments)
            if (segment.text.empty())
                FillRect(dc, &segment.rect, m_backBrush);
    for (const LabelSegment& segment : m_layout.segments) {
        if (segment.text.empty())
            continue;
        RECT rect = segment.rect;
        bool linked = segment.link >= 0;
        dc.SelectObject(linked ? m_linkFont.GetSafeHandle() : m_font.GetSafeHandle());
        dc.SetTextColor(linked ? kLinkColour : m_textColour);
        dc.DrawText(segment.text, rect, DT_NOCLIP);
    }
    dc.SelectObject(oldFont);
    return 0;
}

LRESULT CLinkLabel::OnLButtonDown(WPARAM, LPARAM point)
{
    POINT at{short(LOWORD(point)), short(HIWORD(point))};
    int link = HitTestLabel(m_layout, at);
    if (link >= 0)
        Follow(m_layout.links[size_t(link)]);
    return 0;
}

void CLinkLabel::Follow(LabelLink link)
{
    HWND parent = ::GetParent(m_hWnd);
    const int id = GetDlgCtrlID();
    switch (link.kind) {
    case LinkNotify: {
        LinkLabelNotify notify{{m_hWnd, UINT_PTR(id), UINT(NM_CLICK)}, link.target.c_str()};
        ::SendMessageA(parent, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
        break;
    }
    case LinkShell:
        ShellOpen(nullptr, "open", link.target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        break;
    case LinkWinHelp:
        WinHelp(ULONG_PTR(std::atol(link.target.c_str())), HELP_CONTEXT);
        break;
    case LinkHelpTopic:
        if (CWinApp* app = GetApp())
            app->OpenHelpTopic(link.target.c_str());
        break;
    default:
        ::SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(m_hWnd));
        break;
    }
}
