#pragma once
// A static text control whose text may hold links ("~text|Ktarget~", see
// LabelLayout.h). It lays its text out itself, paints links underlined in blue,
// shows a hand over them and, on a click, acts on the link by its kind: a command
// or a notification to the parent, the shell, context help or a help topic.
#include <windows.h>
#include <commctrl.h>

#include "Controls.h"
#include "Gdi.h"
#include "LabelLayout.h"
#include "win32/Handles.h"

// What a link of kind N sends with WM_NOTIFY (code NM_CLICK) to the label's parent.
struct LinkLabelNotify {
    NMHDR hdr;
    const char* target;  // valid for the length of the call
};

class CLinkLabel : public CStatic {
public:
    RUNTIME_CLASS_DECLARE(CLinkLabel)
public:
    CLinkLabel();

    // The text as laid out now.
    const LabelLayout& Layout() const { return m_layout; }

    static constexpr COLORREF kLinkColour = 0xFF0000;  // pure blue

protected:
    void PreSubclassWindow() override;
    const MessageMap* GetMessageMap() const override;

private:
    LRESULT OnSetCursor(WPARAM, LPARAM);
    LRESULT OnSetText(WPARAM, LPARAM);
    LRESULT OnSetFont(WPARAM font, LPARAM);
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnLButtonDown(WPARAM, LPARAM point);
    LRESULT OnSizeMessage(WPARAM, LPARAM);

    void LayOut();
    void MakeFonts(const LOGFONTA& font);
    // By value: what the parent does may change the label's text and so its links.
    void Follow(LabelLink link);

    LabelLayout m_layout;
    win32::UniqueCursor m_handCursor;
    COLORREF m_textColour;
    COLORREF m_backColour;
    CFont m_font;
    CFont m_linkFont;  // the same, underlined
    CBrush m_backBrush;
};
