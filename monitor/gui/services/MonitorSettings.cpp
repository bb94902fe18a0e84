#include "MonitorSettings.h"

#include "Autorun.h"
#include "CharFormatConversion.h"
#include "PathRoutines.h"
#include "RegistryKey.h"

#include <cstring>
#include <vector>

namespace {

// The values of the general fields, for reading and writing alike.
struct DwordValue {
    const char* name;
    uint32_t GeneralSettings::*field;
};
struct StringValue {
    const char* name;
    std::string GeneralSettings::*field;
};

const DwordValue kDwordValues[] = {
    {"NotifyOnErrors", &GeneralSettings::NotifyOnErrors},
    {"PopupOrBlinkIcon", &GeneralSettings::PopupOrBlinkIcon},
    {"NotifySound", &GeneralSettings::NotifySound},
    {"LogServerIp", &GeneralSettings::LogServerIp},
    {"LogServerPort", &GeneralSettings::LogServerPort},
    {"WriteLogFile", &GeneralSettings::WriteLogFile},
};
const StringValue kStringValues[] = {
    {"MessagePrefix", &GeneralSettings::MessagePrefix},
    {"SoundFileName", &GeneralSettings::SoundFileName},
    {"LogFileName", &GeneralSettings::LogFileName},
};
SeverityEntry MonitorSettings::*const kEntries[] = {
    &MonitorSettings::Info, &MonitorSettings::Warning, &MonitorSettings::Error};

std::string FormatValueName(const SeverityEntry& entry)
{
    return entry.KeyName + "_CharFormat";
}
std::string LogValueName(const SeverityEntry& entry)
{
    return entry.KeyName + "_Log";
}

SeverityEntry DefaultEntry(const char* typeTag, const char* displayName, const char* keyName,
                           COLORREF colour, DWORD effects)
{
    LOGFONTA font = {};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    SeverityEntry entry{typeTag, displayName, keyName, 1, CHARFORMATA{}};
    LogFontToCharFormat(entry.CharFormat, font);
    entry.CharFormat.crTextColor = colour;
    entry.CharFormat.dwEffects |= effects;
    return entry;
}

// Values come from outside the program: each is taken only with the expected
// type and size, and anything else leaves the field as it was.

void ReadDword(HKEY key, const char* name, uint32_t& field)
{
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value)
        field = value;
}

void ReadString(HKEY key, const char* name, std::string& field)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return;
    // One more than stored: the stored text may lack its terminator.
    std::vector<char> text(size + 1);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return;
    text[size] = '\0';
    field = text.data();
}

// The sizes the font dialog accepts, 1 to 1638 points, in twips.
constexpr LONG kSmallestFontTwips = 1 * 20;
constexpr LONG kLargestFontTwips = 1638 * 20;

void ReadCharFormat(HKEY key, const char* name, CHARFORMATA& field)
{
    BYTE data[sizeof(CHARFORMATA) + 1];  // room for one byte too many, to see it
    DWORD type = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size != sizeof(CHARFORMATA))
        return;
    CHARFORMATA stored;
    std::memcpy(&stored, data, sizeof stored);
    if ((stored.dwMask & CFM_SIZE) && (stored.yHeight < kSmallestFontTwips || stored.yHeight > kLargestFontTwips))
        return;  // no font of that size could be chosen: the view would paint giant blocks
    field = stored;
    field.cbSize = sizeof field;
    field.szFaceName[LF_FACESIZE - 1] = '\0';
}

void WriteValue(HKEY key, const char* name, DWORD type, const void* data, size_t size)
{
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
}

}  // namespace

void LoadSettingsDefaults(MonitorSettings& settings)
{
    settings.MessagePrefix = "%t - %p (%m): ";
    settings.NotifyOnErrors = 1;
    settings.PopupOrBlinkIcon = 1;
    settings.NotifySound = 1;
    settings.SoundFileName = "ding.wav";
    settings.LogServerIp = 0x7F000001;
    settings.LogServerPort = 50001;
    settings.WriteLogFile = 0;
    settings.LogFileName = PathJoin(CurrentDirectory(), "vsp.log");
    settings.Autorun = 1;
    settings.Info = DefaultEntry("INFO", "Informational Messages", "MsgInfo", 0x808000, 0);
    settings.Warning = DefaultEntry("WARNING", "Warning Messages", "MsgWarning", 0x008080, 0);
    settings.Error = DefaultEntry("ERROR", "Error Messages", "MsgError", 0x000080, CFE_BOLD);
}

bool LoadSettings(MonitorSettings& settings, HKEY root)
{
    settings.Autorun = AutorunIsSet(root) ? 1 : 0;
    win32::UniqueRegKey key;
    if (!OpenRegistryKey(key, root, kSettingsKeyPath, KEY_QUERY_VALUE))
        return false;
    for (const DwordValue& value : kDwordValues)
        ReadDword(key.get(), value.name, settings.*value.field);
    for (const StringValue& value : kStringValues)
        ReadString(key.get(), value.name, settings.*value.field);
    for (SeverityEntry MonitorSettings::*member : kEntries) {
        SeverityEntry& entry = settings.*member;
        ReadCharFormat(key.get(), FormatValueName(entry).c_str(), entry.CharFormat);
        ReadDword(key.get(), LogValueName(entry).c_str(), entry.Log);
    }
    return true;
}

bool SaveSettings(const MonitorSettings& settings, HKEY root)
{
    win32::UniqueRegKey key;
    if (!CreateRegistryKey(key, root, kSettingsKeyPath, KEY_SET_VALUE))
        return false;
    for (const StringValue& value : kStringValues) {
        const std::string& text = settings.*value.field;
        WriteValue(key.get(), value.name, REG_SZ, text.c_str(), text.size() + 1);
    }
    for (const DwordValue& value : kDwordValues)
        WriteValue(key.get(), value.name, REG_DWORD, &(settings.*value.field), sizeof(uint32_t));
    for (SeverityEntry MonitorSettings::*member : kEntries) {
        const SeverityEntry& entry = settings.*member;
        WriteValue(key.get(), FormatValueName(entry).c_str(), REG_BINARY, &entry.CharFormat,
                   sizeof entry.CharFormat);
        WriteValue(key.get(), LogValueName(entry).c_str(), REG_DWORD, &entry.Log, sizeof entry.Log);
    }
    SetAutorun(settings.Autorun != 0, root);
    return true;
}

void CopySettingsToPages(GeneralSettings& copy, const MonitorSettings& settings)
{
    copy = settings;
}

void CopySettingsFromPages(MonitorSettings& settings, const GeneralSettings& copy)
{
    static_cast<GeneralSettings&>(settings) = copy;
}
