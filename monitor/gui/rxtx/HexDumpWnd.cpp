#include "HexDumpWnd.h"

#include <algorithm>

#include "Dc.h"
#include "Gdi.h"
#include "HexLayout.h"
#include "HexPaint.h"
#include "HexText.h"
#include "MessageMap.h"

namespace {

// New data reach the screen at most once an interval: a bar and a page
// painted for each of a stream of records would keep the thread from
// everything else. The interval is 40 ms, or longer where painting is slow, so
// that painting new data takes at most a fifth of the thread's time.
constexpr DWORD kShowIntervalMs = 40;
constexpr DWORD kShowIntervalMaxMs = 250;
constexpr DWORD kShowPaintShare = 5;
constexpr UINT_PTR kShowTimer = 1;

// The view's font, one for the process: a copy of the stock fixed font, made
// with the first view that paints and deleted at exit.
HFONT HexDumpFont()
{
    static CFont font;
    if (!font.GetSafeHandle())
        font.CreateFromStock(SYSTEM_FIXED_FONT);
    return font.GetSafeHandle() ? static_cast<HFONT>(font) : static_cast<HFONT>(GetStockObject(SYSTEM_FIXED_FONT));
}

// The painting steps on a device context: the fixed font, opaque glyphs on
// the window colour, gaps erased with a rectangle of that colour.
class GdiHexPainter final : public HexPainter {
public:
    explicit GdiHexPainter(HDC dc) : m_dc(dc)
    {
        const COLORREF background = GetSysColor(COLOR_WINDOW);
        m_brush.CreateSolidBrush(background);
        m_pen.CreatePen(PS_SOLID, 1, background);
        m_oldFont = SelectObject(m_dc, HexDumpFont());
        m_oldBrush = SelectObject(m_dc, m_brush.GetSafeHandle());
        m_oldPen = SelectObject(m_dc, m_pen.GetSafeHandle());
        SetBkColor(m_dc, background);
        SetBkMode(m_dc, OPAQUE);
    }
    ~GdiHexPainter()
    {
        SelectObject(m_dc, m_oldPen);
        SelectObject(m_dc, m_oldBrush);
        SelectObject(m_dc, m_oldFont);
    }
    GdiHexPainter(const GdiHexPainter&) = delete;
    GdiHexPainter& operator=(const GdiHexPainter&) = delete;

    void TextColour(uint32_t colour) override { SetTextColor(m_dc, colour); }
    void Glyph(int x, int y, char glyph) override { TextOutA(m_dc, x, y, &glyph, 1); }
    void Erase(int left, int top, int right, int bottom) override
    {
        // Rectangle would swap the edges of an empty one and paint over glyphs.
        if (left < right && top < bottom)
            Rectangle(m_dc, left, top, right, bottom);
    }

private:
    HDC m_dc;
    CBrush m_brush;
    CPen m_pen;
    HGDIOBJ m_oldFont, m_oldBrush, m_oldPen;
};

}  // namespace

CHexDumpWnd::~CHexDumpWnd()
{
    DestroyWindowFromDestructor();
}

const MessageMap* CHexDumpWnd::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnMessage<WM_PAINT, &CHexDumpWnd::OnPaint>(),
        OnWmSize<&CHexDumpWnd::OnSize>(),
        OnMessage<WM_VSCROLL, &CHexDumpWnd::OnVScroll>(),
        OnMessage<WM_MOUSEWHEEL, &CHexDumpWnd::OnMouseWheel>(),
        OnWmTimer<&CHexDumpWnd::OnTimer>(),
    };
    static const MessageMap map = MakeMessageMap(CWnd::GetMessageMap(), entries);
    return &map;
}

BOOL CHexDumpWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!CWnd::PreCreateWindow(cs))
        return FALSE;
    cs.style |= WS_VSCROLL;
    cs.lpszClass = RegisterWndClass(0, LoadCursor(nullptr, IDC_ARROW),
                                    reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), nullptr);
    return cs.lpszClass != nullptr;
}

uint32_t CHexDumpWnd::HexViewAppend(HexDirection direction, const uint8_t* bytes, uint32_t length)
{
    const uint32_t taken = m_model.Append(direction, bytes, length);
    if (taken != 0)
        ShowAppended();
    return taken;
}

uint32_t CHexDumpWnd::HexViewAppend(const HexBatch& batch)
{
    const uint32_t taken = batch.AppendTo(m_model);
    if (taken != 0)
        ShowAppended();
    return taken;
}

void CHexDumpWnd::ShowAppended()
{
    const HexScrollBar bar = HexNewestScrollBar(m_model.totalLines(), m_linesPerPage);
    m_model.GoTo(bar.pos);
    // The bar's numbers at once; its pixels and the page's now or with the next show.
    const DWORD now = GetTickCount();
    const DWORD interval = std::clamp(kShowPaintShare * m_paintMs, kShowIntervalMs, kShowIntervalMaxMs);
    if (!m_showPending && now - m_lastShown < interval)
        m_showPending = SetTimer(kShowTimer, interval - (now - m_lastShown)) != 0;
    SetScrollBar(bar, !m_showPending);
    if (!m_showPending)
        ShowNewest();
}

void CHexDumpWnd::OnTimer(UINT_PTR id)
{
    if (id != kShowTimer)
        return;
    KillTimer(kShowTimer);
    m_showPending = false;
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);  // the bar
    ShowNewest();
}

void CHexDumpWnd::ShowNewest()
{
    m_lastShown = GetTickCount();
    Invalidate(FALSE);
}

void CHexDumpWnd::HexViewClear()
{
    m_model.Clear();
    Invalidate(TRUE);
}

bool CHexDumpWnd::HexViewSaveText(const char* path) const
{
    return ::HexViewSaveText(m_model, path);
}

LRESULT CHexDumpWnd::OnPaint(WPARAM, LPARAM)
{
    const DWORD start = GetTickCount();
    {
        CPaintDC dc(this);
        const CRect client = GetClientRect();
        GdiHexPainter painter(dc);
        HexPaintView(m_model, m_linesPerPage, client.right, client.bottom, painter);
    }
    m_paintMs = GetTickCount() - start;
    return 0;
}

void CHexDumpWnd::OnSize(UINT, int, int cy)
{
    Default();
    m_linesPerPage = HexLinesPerPage(cy);
    const HexScrollBar bar = HexResizedScrollBar(m_model.totalLines(), m_linesPerPage, ScrollBar().nPos);
    SetScrollBar(bar);
    GoTo(bar.pos, true);
}

LRESULT CHexDumpWnd::OnVScroll(WPARAM code, LPARAM)
{
    // The thumb's place comes from the bar's 32-bit track position: the 16 bits
    // of the message cannot carry every line of a full ring.
    const SCROLLINFO info = ScrollBar();
    ScrollTo(info, HexScrollTarget(LOWORD(code), info.nPos, info.nMax, int(info.nPage), info.nTrackPos));
    return 0;
}

LRESULT CHexDumpWnd::OnMouseWheel(WPARAM keysAndDelta, LPARAM)
{
    const short delta = short(HIWORD(keysAndDelta));
    if (delta / WHEEL_DELTA != 0) {
        const SCROLLINFO info = ScrollBar();
        ScrollTo(info, HexWheelTarget(delta, info.nPos, info.nMax, int(info.nPage)));
    }
    return Default();
}

SCROLLINFO CHexDumpWnd::ScrollBar() const
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(m_hWnd, SB_VERT, &info);
    return info;
}

void CHexDumpWnd::SetScrollBar(const HexScrollBar& bar, BOOL redraw)
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = bar.max;
    info.nPage = UINT(bar.page);
    info.nPos = bar.pos;
    SetScrollInfo(m_hWnd, SB_VERT, &info, redraw);
}

void CHexDumpWnd::ScrollTo(const SCROLLINFO& bar, int position)
{
    SetScrollBar({bar.nMax, int(bar.nPage), position});
    GoTo(position, false);
}

void CHexDumpWnd::GoTo(int position, bool force)
{
    if (m_model.GoTo(position) || force)
        Invalidate(FALSE);
}
