#pragma once
// The client area of an RX/TX window: the port's most recent 64 KiB as a
// scrolling hex dump in the fixed-pitch font, following the newest data. The
// data, the runs and the scrolling arithmetic live in the hex-dump model; this
// window paints them, keeps the scroll bar and the page height, and repaints.
// GUI thread only.
#include <cstdint>

#include "HexBatch.h"
#include "HexDumpModel.h"
#include "HexScroll.h"
#include "Wnd.h"

class CHexDumpWnd : public CWnd {
public:
    CHexDumpWnd() = default;
    ~CHexDumpWnd() override;

    // Appends at most 64 KiB (the oldest bytes give way), sets the scroll bar
    // to the last page and repaints; the bytes taken. New data reach the screen
    // at most every 40 ms (longer where painting is slow): appends that come
    // faster are shown together at the end of the interval, with the pixels
    // that showing each one would leave.
    uint32_t HexViewAppend(HexDirection direction, const uint8_t* bytes, uint32_t length);
    // The batch's records appended in order, as each would be, and shown once.
    uint32_t HexViewAppend(const HexBatch& batch);
    // Empty again and erased; the scroll bar stays until the next append or resize.
    void HexViewClear();
    // The dump as a text file (created or truncated). On failure the system's
    // error code is the thread's last error, and what was written stays.
    bool HexViewSaveText(const char* path) const;

    // Bytes held: the frame enables Clear while there is one.
    uint32_t used() const { return m_model.used(); }
    const HexDumpModel& model() const { return m_model; }
    int linesPerPage() const { return m_linesPerPage; }
    // Whether appended data still wait for the show timer to reach the screen.
    bool showPending() const { return m_showPending; }

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    const MessageMap* GetMessageMap() const override;

private:
    LRESULT OnPaint(WPARAM, LPARAM);
    void OnSize(UINT type, int cx, int cy);
    LRESULT OnVScroll(WPARAM code, LPARAM);
    LRESULT OnMouseWheel(WPARAM keysAndDelta, LPARAM);
    void OnTimer(UINT_PTR id);

    SCROLLINFO ScrollBar() const;
    void SetScrollBar(const HexScrollBar& bar, BOOL redraw = TRUE);
    // A scroll request's outcome: the bar's range and page with the new position.
    void ScrollTo(const SCROLLINFO& bar, int position);
    // Line `position` to the top; repaints (without erasing) when the top line
    // changed or when forced.
    void GoTo(int position, bool force);

    // After an append that took bytes: the bar to the last page, and the page
    // onto the screen now or with the show timer.
    void ShowAppended();
    // The newest data and the bar onto the screen.
    void ShowNewest();

    HexDumpModel m_model;
    int m_linesPerPage = 1;  // set by WM_SIZE, which comes before any data
    DWORD m_lastShown = 0;   // tick count when new data last reached the screen
    bool m_showPending = false;  // appends wait for the show timer
    DWORD m_paintMs = 0;         // what the last paint took
};
