#pragma once
#include <windows.h>
#include <richedit.h>
#include <cstdint>
#include <string>

static_assert(sizeof(CHARFORMATA) == 60, "the stored character formats are 60-byte records");

// Where the settings live under a root key (HKEY_CURRENT_USER, or a scratch key
// in tests).
constexpr const char kSettingsKeyPath[] = "Software\\PELKO\\DEZ Iviruzi";

// How one severity's lines look and whether they are logged at all.
struct SeverityEntry {
    std::string TypeTag;      // replaces "%m" in the line prefix
    std::string DisplayName;  // shown in the preferences
    std::string KeyName;      // prefix of the entry's "%s_CharFormat" and "%s_Log" values
    uint32_t Log;
    CHARFORMATA CharFormat;   // the colour is its crTextColor
};

// The fields the General preferences page edits through a copy.
struct GeneralSettings {
    std::string MessagePrefix;
    uint32_t NotifyOnErrors;
    uint32_t PopupOrBlinkIcon;  // 0 pop up the main window, 1 blink the tray icon
    uint32_t NotifySound;
    std::string SoundFileName;
    uint32_t LogServerIp;  // first octet in the high byte
    uint32_t LogServerPort;
    uint32_t WriteLogFile;
    std::string LogFileName;
    uint32_t Autorun;  // mirrors the user's Run value
};

// The tray monitor's one settings record.
struct MonitorSettings : GeneralSettings {
    SeverityEntry Info;
    SeverityEntry Warning;
    SeverityEntry Error;
};

// Every field to its default; the log file defaults to "vsp.log" in the
// current directory.
void LoadSettingsDefaults(MonitorSettings& settings);

// Autorun := whether the Run value exists under the root; then every value of
// the settings key that exists with the right type (and, for a format, the
// exact size) replaces its field. False, with nothing read and nothing
// created, when the settings key is missing.
bool LoadSettings(MonitorSettings& settings, HKEY root = HKEY_CURRENT_USER);

// Writes every value, creating the settings key when missing, then sets the
// Run value under the same root to Autorun. False, with nothing written, when
// the key cannot be opened or created.
bool SaveSettings(const MonitorSettings& settings, HKEY root = HKEY_CURRENT_USER);

// The general fields, MessagePrefix through Autorun, out to the preferences'
// copy and back; the severity entries are not copied.
void CopySettingsToPages(GeneralSettings& copy, const MonitorSettings& settings);
void CopySettingsFromPages(MonitorSettings& settings, const GeneralSettings& copy);
