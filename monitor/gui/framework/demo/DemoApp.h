#pragma once
// Frame Demo: a small program on the framework, built the way the tray monitor is
// (frame with toolbar, status bar and rich-edit pane, application commands, a
// dialog with data exchange, a property sheet). Its tests drive it in-process and
// as a running program.
#include <string>

#include "WinApp.h"

class CDemoFrame;

struct NoteOptions {
    std::string name = "Note";
    int count = 1;   // notes per Add Note, 1 to 99
    int upper = 0;   // check box
    int side = 0;    // 0 left, 1 right
    int colour = 0;  // index into NoteColours
};

struct DisplayEntry {
    const char* title;
    int shown;
};

struct DemoSettings {
    std::string prefix = "> ";
    int writeFile = 0;
    std::string filePath = "notes.txt";
    DisplayEntry entries[3] = {{"Plain notes", 1}, {"Coloured notes", 1}, {"Old notes", 0}};
    LOGFONTA font{};
    COLORREF colour = RGB(0, 0, 128);
};

// The colours a note may have, in the order of the dialog's list.
COLORREF NoteColour(int index);

class CDemoApp : public CWinApp {
public:
    CDemoApp();
    BOOL InitInstance() override;
    int ExitInstance() override;

    CDemoFrame* MainFrame() const;
    // The program has no help file: the topic asked for is kept, and is its own address.
    std::string OpenHelpTopic(const char* topic) override { return m_lastHelpTopic = topic; }

    NoteOptions m_note;
    DemoSettings m_settings;
    std::string m_lastHelpTopic;
    int m_notesAdded = 0;

protected:
    const MessageMap* GetMessageMap() const override;
    void OnNoteAdd();
    void OnNoteOptions();
    void OnSettings();
    void OnAppAbout();
    void OnAppExit();

private:
    bool m_initFailed = false;
};

inline CDemoApp* GetDemoApp()
{
    return static_cast<CDemoApp*>(GetApp());
}
