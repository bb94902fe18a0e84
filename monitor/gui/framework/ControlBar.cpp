#include "ControlBar.h"

#include "DockDrag.h"
#include "DockPlacement.h"
#include "FrameWnd.h"
#include "MiniDockFrameWnd.h"

RUNTIME_CLASS_IMPLEMENT(CControlBar, CWnd)

CControlBar::CControlBar() : m_dockSide(DockSide::Top) {}

CControlBar::~CControlBar()
{
    if (m_dockSite)
        m_dockSite->RemoveControlBar(this);
}

bool CControlBar::IsFloating() const { return m_dockSide == DockSide::Floating; }

bool CControlBar::IsShown() const
{
    // The styles, not IsWindowVisible: a bar counts as shown before its frame is.
    auto visible = [](HWND window) { return window && (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; };
    return visible(m_hWnd) && (!IsFloating() || visible(m_floatingFrame->m_hWnd));
}

SIZE CControlBar::CalcBarSize(DockSide) const
{
    CRect r = GetWindowRect();
    return {r.Width(), r.Height()};
}

bool CControlBar::TrackDragFrom(POINT screenPoint)
{
    if (!m_dockSite || !m_dockAlignments)
        return false;
    TrackDockDrag(*this, *m_dockSite, screenPoint);
    return true;
}
