#pragma once
// The small tool window a floating bar sits in. It is owned by the bar's frame, so
// it stays above it and goes with it; closing it hides the bar, dragging its caption
// drags the bar (back to a side of the frame, or elsewhere).
//
// The bar keeps its frame as the window it notifies (the control's notify parent
// does not follow SetParent), so its commands and tooltips still reach the frame.
#include "Wnd.h"

class CControlBar;
class CFrameWnd;

class CMiniDockFrameWnd : public CWnd {
public:
    RUNTIME_CLASS_DECLARE(CMiniDockFrameWnd)
public:
    explicit CMiniDockFrameWnd(CControlBar& bar) : m_bar(bar) {}
    ~CMiniDockFrameWnd() override;

    BOOL Create(CFrameWnd* owner);
    // Sizes the window around the bar with the bar's top-left corner at barTopLeft
    // (screen coordinates).
    void FitAround(POINT barTopLeft);

protected:
    const MessageMap* GetMessageMap() const override;
    void OnClose();
    LRESULT OnNcLButtonDown(WPARAM hit, LPARAM point);

private:
    CControlBar& m_bar;
};
