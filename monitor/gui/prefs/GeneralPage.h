#pragma once
// The General page of the Preferences sheet: the line prefix, autorun, the log
// file, the notification choices with the sound file, and the log-server address
// and port (kept in hidden fields). It edits a copy of the general settings, which
// the sheet's owner takes back on OK.
#include <windows.h>


#include "MonitorSettings.h"
#include "SmallIcon.h"
#include "win32/Handles.h"
#include "PropertySheet.h"

class CGeneralPage : public CPropertyPage {
public:
    RUNTIME_CLASS_DECLARE(CGeneralPage)
public:
    explicit CGeneralPage(GeneralSettings& settings);
    BOOL OnInitDialog() override;

    GeneralSettings& m_settings;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    const MessageMap* GetMessageMap() const override;

private:
    void OnWriteLogClicked();
    void OnPlaySoundClicked();
    void OnNotifyClicked();
    void OnBrowseSound();
    void OnBrowseLog();
    void OnPlay();
    BOOL OnHelp(HELPINFO*);

    // Which controls are enabled follows the check boxes, and the icon buttons
    // show their grey icons while disabled.
    void ApplyNotifyRule();
    void ApplySoundRule();
    void ApplyLogFileRule();
    void EnableIconButton(int id, BOOL enable, HICON enabledIcon, HICON disabledIcon);
    void BrowseInto(int editId, const char* defaultExt, const char* filter);

    win32::UniqueIcon m_browseIcon, m_playIcon, m_browseDisabledIcon, m_playDisabledIcon;
};
