#pragma once
// Bars along the frame's edges (toolbar at the top, status bar at the bottom).
// The style passed to Create mixes window styles with the bar styles below; the
// bar keeps the latter and gives the window only the former. A bar whose frame
// docks it (CFrameWnd::DockControlBar) may be dragged to another side or float in
// a small tool window of its own.
#include <memory>

#include "FrameworkIds.h"
#include "Wnd.h"

class CFrameWnd;
class CMiniDockFrameWnd;
enum class DockSide;

#define CBRS_SIZE_DYNAMIC 0x0004
#define CBRS_TOOLTIPS 0x0010
#define CBRS_FLYBY 0x0020
#define CBRS_BORDER_LEFT 0x0100
#define CBRS_BORDER_TOP 0x0200
#define CBRS_BORDER_RIGHT 0x0400
#define CBRS_BORDER_BOTTOM 0x0800
#define CBRS_ALIGN_LEFT 0x1000
#define CBRS_ALIGN_TOP 0x2000
#define CBRS_ALIGN_RIGHT 0x4000
#define CBRS_ALIGN_BOTTOM 0x8000
#define CBRS_ALIGN_ANY (CBRS_ALIGN_LEFT | CBRS_ALIGN_TOP | CBRS_ALIGN_RIGHT | CBRS_ALIGN_BOTTOM)
#define CBRS_TOP (CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM)
#define CBRS_BOTTOM (CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP)
#define CBRS_GRIPPER 0x00400000

class CControlBar : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CControlBar)
public:
    CControlBar();
    ~CControlBar() override;

    DWORD GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(DWORD style) { m_dwStyle = style & BarStyleMask; }

    // Places the bar along its edge of the free rectangle and takes its height off it.
    virtual void Reposition(RECT& free) = 0;
    // Idle update of the bar's items through the frame's command route.
    virtual void OnUpdateCmdUI(CFrameWnd* target, bool disableIfNoHandler) = 0;

    // Docking. The sides (CBRS_ALIGN_*) the bar may be dragged to.
    void EnableDocking(DWORD alignments) { m_dockAlignments = alignments & CBRS_ALIGN_ANY; }
    DWORD GetDockAlignments() const { return m_dockAlignments; }
    DockSide GetDockSide() const { return m_dockSide; }
    bool IsFloating() const;
    // The frame that docks the bar, null until it does.
    CFrameWnd* GetDockSite() const { return m_dockSite; }
    // The tool window a floating bar sits in, null while it never floated.
    CMiniDockFrameWnd* GetFloatingFrame() const { return m_floatingFrame.get(); }
    // Whether the user sees the bar, docked or floating.
    bool IsShown() const;
    // The window size the bar takes when laid out along side (its natural size when
    // floating).
    virtual SIZE CalcBarSize(DockSide side) const;
    // Drags the bar from screenPoint until the mouse button is released, then docks
    // or floats it there; false (and nothing happens) when the bar is not dockable.
    bool TrackDragFrom(POINT screenPoint);

protected:
    friend class CFrameWnd;
    // The bar now lies along another side, or floats.
    virtual void OnDockSideChanged() {}
    static constexpr DWORD BarStyleMask = 0x0000FFFF | CBRS_GRIPPER;
    // The window part of a combined style.
    static DWORD WindowStyle(DWORD style) { return style & ~BarStyleMask; }

    DWORD m_dwStyle = 0;

private:
    DWORD m_dockAlignments = 0;
    DockSide m_dockSide;
    CFrameWnd* m_dockSite = nullptr;
    std::unique_ptr<CMiniDockFrameWnd> m_floatingFrame;
};
