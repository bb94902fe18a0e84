#pragma once
// Bars along the frame's edges (toolbar at the top, status bar at the bottom).
// The style passed to Create mixes window styles with the bar styles below; the
// bar keeps the latter and gives the window only the former.
#include "FrameworkIds.h"
#include "Wnd.h"

class CFrameWnd;

#define CBRS_SIZE_DYNAMIC 0x0004
#define CBRS_TOOLTIPS 0x0010
#define CBRS_FLYBY 0x0020
#define CBRS_BORDER_TOP 0x0200
#define CBRS_BORDER_BOTTOM 0x0800
#define CBRS_ALIGN_TOP 0x2000
#define CBRS_ALIGN_BOTTOM 0x8000
#define CBRS_ALIGN_ANY (CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)
#define CBRS_TOP (CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM)
#define CBRS_BOTTOM (CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP)
#define CBRS_GRIPPER 0x00400000

class CControlBar : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CControlBar)
public:
    DWORD GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(DWORD style) { m_dwStyle = style & BarStyleMask; }

    // Places the bar along its edge of the free rectangle and takes its height off it.
    virtual void Reposition(RECT& free) = 0;
    // Idle update of the bar's items through the frame's command route.
    virtual void OnUpdateCmdUI(CFrameWnd* target, bool disableIfNoHandler) = 0;

protected:
    static constexpr DWORD BarStyleMask = 0x0000FFFF | CBRS_GRIPPER;
    // The window part of a combined style.
    static DWORD WindowStyle(DWORD style) { return style & ~BarStyleMask; }

    DWORD m_dwStyle = 0;
};
