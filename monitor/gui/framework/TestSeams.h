#pragma once
// Where a test answers instead of a person. Product code never calls these: it
// shows its message boxes, modal dialogs, common dialogs, shell requests,
// notification-area icons and sounds through the framework as usual, and each of those asks its seam first.
// Every setter returns the previous answerer; an empty one restores the real
// behaviour. Seams are process-wide and meant for the GUI thread.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

class CWnd;
class CCommonDialog;

// Message boxes (ShowMessageBox, AppMessageBox, CWnd::MessageBox): the answer is
// the button id the box would have returned.
using MessageBoxAnswer =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>;
MessageBoxAnswer SetMessageBoxAnswer(MessageBoxAnswer answer);

// Modal dialogs and property sheets: the real window runs its modal loop, and the
// driver is called inside it once the window is up (after OnInitDialog). The driver
// works the controls as a person would and must end the dialog (press OK or Cancel,
// EndDialog) unless it wants it to stay open for a later step of its own.
using ModalDriver = std::function<void(CWnd& modal)>;
ModalDriver SetModalDriver(ModalDriver driver);

// Common dialogs (file, font, colour): the answer fills the dialog object's
// structure as the system dialog would (m_ofn's file buffer, m_lf and m_cf, m_cc)
// and returns IDOK or IDCANCEL; no system dialog is shown.
using CommonDialogAnswer = std::function<INT_PTR(CCommonDialog& dialog)>;
CommonDialogAnswer SetCommonDialogAnswer(CommonDialogAnswer answer);

// Shell execution (ShellOpen) and context help (ShowWinHelp): the request is
// recorded or refused by the test; nothing is started.
struct ShellRequest {
    HWND window;
    std::string verb, file, parameters, directory;
    int show;
};
using ShellAnswer = std::function<HINSTANCE(const ShellRequest& request)>;
ShellAnswer SetShellAnswer(ShellAnswer answer);

struct HelpRequest {
    HWND window;
    std::string helpFile;
    UINT command;
    ULONG_PTR data;
};
using HelpAnswer = std::function<BOOL(const HelpRequest& request)>;
HelpAnswer SetHelpAnswer(HelpAnswer answer);

// Sounds (PlaySoundFile): the answer is what sndPlaySound would have returned.
using SoundAnswer = std::function<BOOL(const std::string& file, UINT flags)>;
SoundAnswer SetSoundAnswer(SoundAnswer answer);

// Notification-area icons (NotifyIcon): the answer gets the request and returns
// what Shell_NotifyIcon would have; no icon is shown.
using NotifyIconAnswer = std::function<BOOL(DWORD message, const NOTIFYICONDATAA& data)>;
NotifyIconAnswer SetNotifyIconAnswer(NotifyIconAnswer answer);
