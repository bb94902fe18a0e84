#include "DemoApp.h"

#include <cctype>
#include <cstring>

#include "DemoFrame.h"
#include "DemoIds.h"
#include "MessageBox.h"
#include "NoteDialog.h"
#include "PropertySheet.h"
#include "SettingsPages.h"

COLORREF NoteColour(int index)
{
    static const COLORREF colours[] = {RGB(0, 0, 0), RGB(0, 0, 192), RGB(0, 128, 0), RGB(192, 0, 0)};
    return index >= 0 && index < 4 ? colours[index] : colours[0];
}

CDemoApp::CDemoApp() : CWinApp("Frame Demo")
{
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof m_settings.font, &m_settings.font);
}

const MessageMap* CDemoApp::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnCommand<ID_NOTE_ADD, &CDemoApp::OnNoteAdd>(),
        OnCommand<ID_NOTE_OPTIONS, &CDemoApp::OnNoteOptions>(),
        OnCommand<ID_SETTINGS, &CDemoApp::OnSettings>(),
        OnCommand<ID_APP_ABOUT, &CDemoApp::OnAppAbout>(),
        OnCommand<ID_APP_EXIT, &CDemoApp::OnAppExit>(),
    };
    static const MessageMap map = MakeMessageMap(CWinApp::GetMessageMap(), entries);
    return &map;
}

BOOL CDemoApp::InitInstance()
{
    if (std::strstr(m_lpCmdLine, "/fail")) {
        m_initFailed = true;
        return FALSE;
    }
    auto* frame = new CDemoFrame;
    m_pMainWnd = frame;
    if (!frame->LoadFrame(IDR_MAINFRAME)) {
        m_pMainWnd = nullptr;  // the frame is gone
        return FALSE;
    }
    frame->ShowWindow(m_nCmdShow);
    frame->UpdateWindow();
    return TRUE;
}

int CDemoApp::ExitInstance()
{
    if (m_pMainWnd)
        m_pMainWnd->DestroyWindow();
    int code = CWinApp::ExitInstance();
    if (m_initFailed)
        return 3;  // the exit hook ran after a failed start
    return CDemoFrame::LiveCount() == 0 ? code : 99;
}

CDemoFrame* CDemoApp::MainFrame() const
{
    return dynamic_cast<CDemoFrame*>(m_pMainWnd);
}

void CDemoApp::OnNoteAdd()
{
    CDemoFrame* frame = MainFrame();
    if (!frame)
        return;
    for (int i = 0; i < m_note.count; ++i) {
        std::string text = m_settings.prefix + m_note.name + " " + std::to_string(++m_notesAdded) +
                           (m_note.side ? " (right)" : " (left)");
        if (m_note.upper)
            for (char& c : text)
                c = char(std::toupper(static_cast<unsigned char>(c)));
        frame->AddNote(text, NoteColour(m_note.colour));
    }
}

void CDemoApp::OnNoteOptions()
{
    CNoteDialog dialog(m_note);
    if (dialog.DoModal() == IDOK)
        m_note = dialog.m_options;
}

void CDemoApp::OnSettings()
{
    CPropertySheet sheet(IDS_SHEET_CAPTION);
    CGeneralPage general(m_settings);
    CDisplayPage display(m_settings);
    sheet.AddPage(&general);
    sheet.AddPage(&display);
    if (sheet.DoModal() != IDOK)
        return;
    m_settings.prefix = general.m_prefix;
    m_settings.writeFile = general.m_writeFile;
    m_settings.filePath = general.m_filePath;
    for (int i = 0; i < 3; ++i)
        m_settings.entries[i].shown = display.m_shown[i];
    m_settings.font = display.m_font;
    m_settings.colour = display.m_colour;
}

void CDemoApp::OnAppAbout()
{
    AppMessageBox(IDS_ABOUT, MB_OK | MB_ICONINFORMATION);
}

void CDemoApp::OnAppExit()
{
    if (m_pMainWnd)
        m_pMainWnd->PostMessage(WM_CLOSE);
}
