#pragma once
// The demo's main frame: toolbar, status bar (prompt, note count, CAP, NUM, SCRL)
// and a read-only rich-edit pane of coloured notes.
#include <string>

#include "FrameWnd.h"
#include "RichEditCtrl.h"
#include "StatusBar.h"
#include "ToolBar.h"

class CDemoFrame : public CFrameWnd {
public:
    CDemoFrame();
    ~CDemoFrame() override;
    // Frames alive in the process: a frame deletes itself once, when its window is gone.
    static int LiveCount();

    void AddNote(const std::string& text, COLORREF colour);

    BOOL PreTranslateMessage(MSG* msg) override;

    CRichEditCtrl m_notes;
    CToolBar m_toolBar;
    CStatusBar m_statusBar;
    bool m_locked = false;
    int m_escapes = 0;  // Esc keys the frame took before dispatch

protected:
    const MessageMap* GetMessageMap() const override;
    int OnCreate(CREATESTRUCTA* cs);
    void OnClose();
    BOOL OnHelp(HELPINFO* info);
    void OnNoteClear();
    void OnUpdateNoteClear(CCmdUI* ui);
    void OnNoteLock();
    void OnUpdateNoteLock(CCmdUI* ui);
    void OnEditCopy();
    void OnUpdateEditCopy(CCmdUI* ui);

private:
    void ShowCount();
    int m_count = 0;
};
