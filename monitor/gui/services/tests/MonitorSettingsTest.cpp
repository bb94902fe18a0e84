#include "MonitorSettings.h"

#include "Autorun.h"
#include "PathRoutines.h"
#include "RegistryKey.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using services_test::ScratchKey;

void ExpectSameEntry(const SeverityEntry& actual, const SeverityEntry& expected)
{
    EXPECT_EQ(actual.TypeTag, expected.TypeTag);
    EXPECT_EQ(actual.DisplayName, expected.DisplayName);
    EXPECT_EQ(actual.KeyName, expected.KeyName);
    EXPECT_EQ(actual.Log, expected.Log) << expected.KeyName;
    EXPECT_EQ(std::memcmp(&actual.CharFormat, &expected.CharFormat, sizeof(CHARFORMATA)), 0)
        << expected.KeyName;
}

void ExpectSameSettings(const MonitorSettings& actual, const MonitorSettings& expected)
{
    EXPECT_EQ(actual.MessagePrefix, expected.MessagePrefix);
    EXPECT_EQ(actual.NotifyOnErrors, expected.NotifyOnErrors);
    EXPECT_EQ(actual.PopupOrBlinkIcon, expected.PopupOrBlinkIcon);
    EXPECT_EQ(actual.NotifySound, expected.NotifySound);
    EXPECT_EQ(actual.SoundFileName, expected.SoundFileName);
    EXPECT_EQ(actual.LogServerIp, expected.LogServerIp);
    EXPECT_EQ(actual.LogServerPort, expected.LogServerPort);
    EXPECT_EQ(actual.WriteLogFile, expected.WriteLogFile);
    EXPECT_EQ(actual.LogFileName, expected.LogFileName);
    EXPECT_EQ(actual.Autorun, expected.Autorun);
    ExpectSameEntry(actual.Info, expected.Info);
    ExpectSameEntry(actual.Warning, expected.Warning);
    ExpectSameEntry(actual.Error, expected.Error);
}

MonitorSettings Defaults()
{
    MonitorSettings settings;
    LoadSettingsDefaults(settings);
    return settings;
}

// The settings key below a scratch root, for writing values by hand.
struct SettingsKey {
    explicit SettingsKey(const ScratchKey& root)
    {
        CreateRegistryKey(key, root.Get(), kSettingsKeyPath, KEY_ALL_ACCESS);
    }
    void Set(const char* name, DWORD type, const void* data, size_t size)
    {
        ASSERT_EQ(RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
                  ERROR_SUCCESS)
            << name;
    }
    win32::UniqueRegKey key;
};

TEST(MonitorSettings, Defaults)
{
    const MonitorSettings settings = Defaults();
    EXPECT_EQ(settings.MessagePrefix, "%t - %p (%m): ");
    EXPECT_EQ(settings.NotifyOnErrors, 1u);
    EXPECT_EQ(settings.PopupOrBlinkIcon, 1u);
    EXPECT_EQ(settings.NotifySound, 1u);
    EXPECT_EQ(settings.SoundFileName, "ding.wav");
    EXPECT_EQ(settings.LogServerIp, 0x7F000001u);
    EXPECT_EQ(settings.LogServerPort, 50001u);
    EXPECT_EQ(settings.WriteLogFile, 0u);
    EXPECT_EQ(settings.LogFileName, CurrentDirectory() + "\\vsp.log");
    EXPECT_EQ(settings.Autorun, 1u);

    LOGFONTA guiFont = {};
    ASSERT_NE(GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof guiFont, &guiFont), 0);
    struct Expected {
        const SeverityEntry& entry;
        const char *tag, *displayName, *keyName;
        COLORREF colour;
        DWORD effects;
    };
    const Expected entries[] = {
        {settings.Info, "INFO", "Informational Messages", "MsgInfo", 0x808000, 0},
        {settings.Warning, "WARNING", "Warning Messages", "MsgWarning", 0x008080, 0},
        {settings.Error, "ERROR", "Error Messages", "MsgError", 0x000080, CFE_BOLD},
    };
    for (const Expected& e : entries) {
        EXPECT_EQ(e.entry.TypeTag, e.tag);
        EXPECT_EQ(e.entry.DisplayName, e.displayName);
        EXPECT_EQ(e.entry.KeyName, e.keyName);
        EXPECT_EQ(e.entry.Log, 1u);
        const CHARFORMATA& format = e.entry.CharFormat;
        EXPECT_EQ(format.cbSize, 60u);
        EXPECT_EQ(format.dwMask, 0xE000000Fu);
        EXPECT_EQ(format.crTextColor, e.colour) << e.keyName;
        EXPECT_EQ(format.dwEffects & CFE_BOLD, e.effects) << e.keyName;
        EXPECT_STREQ(format.szFaceName, guiFont.lfFaceName);
        EXPECT_GT(format.yHeight, 0);
    }
}

TEST(MonitorSettings, ACleanAccountKeepsTheDefaultsAndCreatesNothing)
{
    ScratchKey root(HKEY_CURRENT_USER);
    MonitorSettings settings = Defaults();
    EXPECT_FALSE(LoadSettings(settings, root.Get()));

    MonitorSettings expected = Defaults();
    expected.Autorun = 0;  // no Run value for this account
    ExpectSameSettings(settings, expected);
    DWORD subkeys = 1;
    DWORD values = 1;
    ASSERT_EQ(RegQueryInfoKeyA(root.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 0u);
}

TEST(MonitorSettings, SaveThenLoadGivesBackEveryField)
{
    ScratchKey root(HKEY_CURRENT_USER);
    MonitorSettings saved = Defaults();
    saved.MessagePrefix = "[%m] ";
    saved.NotifyOnErrors = 0;
    saved.PopupOrBlinkIcon = 0;
    saved.NotifySound = 0;
    saved.SoundFileName = "C:\\sounds\\alarm.wav";
    saved.LogServerIp = 0x0A000002;
    saved.LogServerPort = 1234;
    saved.WriteLogFile = 1;
    saved.LogFileName = "D:\\logs\\events.log";
    saved.Autorun = 1;
    saved.Info.Log = 0;
    saved.Warning.CharFormat.crTextColor = 0x00FF00;
    saved.Warning.CharFormat.dwEffects = CFE_ITALIC | CFE_UNDERLINE;
    std::strcpy(saved.Warning.CharFormat.szFaceName, "Courier New");
    saved.Error.CharFormat.yHeight = 240;
    ASSERT_TRUE(SaveSettings(saved, root.Get()));

    MonitorSettings loaded = Defaults();
    loaded.Autorun = 0;
    ASSERT_TRUE(LoadSettings(loaded, root.Get()));
    ExpectSameSettings(loaded, saved);

    // The stored types and sizes, which an older or newer program reads too.
    win32::UniqueRegKey key;
    ASSERT_TRUE(OpenRegistryKey(key, root.Get(), kSettingsKeyPath, KEY_QUERY_VALUE));
    struct Stored {
        const char* name;
        DWORD type, size;
    };
    const Stored stored[] = {
        {"MessagePrefix", REG_SZ, 6},        {"NotifyOnErrors", REG_DWORD, 4},
        {"PopupOrBlinkIcon", REG_DWORD, 4},  {"NotifySound", REG_DWORD, 4},
        {"SoundFileName", REG_SZ, 20},       {"LogServerIp", REG_DWORD, 4},
        {"LogServerPort", REG_DWORD, 4},     {"WriteLogFile", REG_DWORD, 4},
        {"LogFileName", REG_SZ, 19},         {"MsgInfo_CharFormat", REG_BINARY, 60},
        {"MsgInfo_Log", REG_DWORD, 4},       {"MsgWarning_CharFormat", REG_BINARY, 60},
        {"MsgWarning_Log", REG_DWORD, 4},    {"MsgError_CharFormat", REG_BINARY, 60},
        {"MsgError_Log", REG_DWORD, 4},
    };
    for (const Stored& s : stored) {
        DWORD type = 0;
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExA(key.get(), s.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS) << s.name;
        EXPECT_EQ(type, s.type) << s.name;
        EXPECT_EQ(size, s.size) << s.name;
    }
    EXPECT_TRUE(AutorunIsSet(root.Get()));

    saved.Autorun = 0;
    ASSERT_TRUE(SaveSettings(saved, root.Get()));
    EXPECT_FALSE(AutorunIsSet(root.Get()));
}

TEST(MonitorSettings, ValuesOfTheWrongTypeOrSizeKeepTheirFields)
{
    ScratchKey root(HKEY_CURRENT_USER);
    SettingsKey key(root);
    const DWORD one = 1;
    const DWORD zero = 0;
    const std::vector<uint8_t> format(sizeof(CHARFORMATA), 0x41);
    key.Set("NotifyOnErrors", REG_SZ, "0", 2);
    key.Set("MsgError_Log", REG_SZ, "0", 2);
    key.Set("WriteLogFile", REG_BINARY, &one, sizeof one);
    key.Set("LogServerPort", REG_DWORD, &zero, 2);  // a DWORD of two bytes
    key.Set("MessagePrefix", REG_DWORD, &zero, sizeof zero);
    key.Set("SoundFileName", REG_EXPAND_SZ, "x.wav", 6);
    key.Set("LogFileName", REG_BINARY, "y.log", 6);
    key.Set("MsgInfo_CharFormat", REG_BINARY, format.data(), 4);
    key.Set("MsgWarning_CharFormat", REG_BINARY, format.data(), format.size() - 1);
    const std::vector<uint8_t> tooLong(sizeof(CHARFORMATA) + 1, 0x41);
    key.Set("MsgError_CharFormat", REG_BINARY, tooLong.data(), tooLong.size());
    key.Set("MsgWarning_Log", REG_DWORD, &zero, sizeof zero);  // the one good value

    MonitorSettings settings = Defaults();
    ASSERT_TRUE(LoadSettings(settings, root.Get()));
    MonitorSettings expected = Defaults();
    expected.Autorun = 0;
    expected.Warning.Log = 0;
    ExpectSameSettings(settings, expected);
}

TEST(MonitorSettings, AFormatOfTheRightSizeIsMadeSafeToUse)
{
    ScratchKey root(HKEY_CURRENT_USER);
    SettingsKey key(root);
    CHARFORMATA stored;
    std::memset(&stored, 'A', sizeof stored);  // no terminator in the face name
    stored.cbSize = 0xFFFF;
    stored.crTextColor = 0x123456;
    key.Set("MsgInfo_CharFormat", REG_BINARY, &stored, sizeof stored);

    MonitorSettings settings = Defaults();
    ASSERT_TRUE(LoadSettings(settings, root.Get()));
    const CHARFORMATA& format = settings.Info.CharFormat;
    EXPECT_EQ(format.cbSize, sizeof(CHARFORMATA));
    EXPECT_EQ(format.crTextColor, 0x123456u);
    EXPECT_EQ(std::string(format.szFaceName), std::string(LF_FACESIZE - 1, 'A'));
}

TEST(MonitorSettings, AFormatOfASizeNoFontDialogOffersKeepsTheDefault)
{
    ScratchKey root(HKEY_CURRENT_USER);
    SettingsKey key(root);
    CHARFORMATA stored = Defaults().Info.CharFormat;
    stored.yHeight = 0x7FFFFFFF;
    key.Set("MsgInfo_CharFormat", REG_BINARY, &stored, sizeof stored);
    stored.yHeight = 0;
    key.Set("MsgWarning_CharFormat", REG_BINARY, &stored, sizeof stored);
    stored.yHeight = 1638 * 20;  // the largest size offered is taken
    stored.crTextColor = 0x123456;
    key.Set("MsgError_CharFormat", REG_BINARY, &stored, sizeof stored);

    MonitorSettings settings = Defaults();
    ASSERT_TRUE(LoadSettings(settings, root.Get()));
    MonitorSettings expected = Defaults();
    expected.Autorun = 0;
    expected.Error.CharFormat = stored;
    ExpectSameSettings(settings, expected);
}

TEST(MonitorSettings, StringsWithoutTerminatorAreReadWhole)
{
    ScratchKey root(HKEY_CURRENT_USER);
    SettingsKey key(root);
    key.Set("MessagePrefix", REG_SZ, ">> ", 3);
    key.Set("SoundFileName", REG_SZ, "", 0);
    key.Set("LogFileName", REG_SZ, "C:\\x.log\0tail", 14);  // the text ends at its terminator

    MonitorSettings settings = Defaults();
    ASSERT_TRUE(LoadSettings(settings, root.Get()));
    EXPECT_EQ(settings.MessagePrefix, ">> ");
    EXPECT_EQ(settings.SoundFileName, "");
    EXPECT_EQ(settings.LogFileName, "C:\\x.log");
}

TEST(MonitorSettings, ThePagesCopyTheGeneralFieldsOnly)
{
    MonitorSettings settings = Defaults();
    GeneralSettings copy;
    CopySettingsToPages(copy, settings);
    EXPECT_EQ(copy.MessagePrefix, settings.MessagePrefix);
    EXPECT_EQ(copy.Autorun, settings.Autorun);

    copy.MessagePrefix = "changed";
    copy.Autorun = 0;
    settings.Error.Log = 0;  // changed by the Events page meanwhile
    CopySettingsFromPages(settings, copy);
    EXPECT_EQ(settings.MessagePrefix, "changed");
    EXPECT_EQ(settings.Autorun, 0u);
    EXPECT_EQ(settings.Error.Log, 0u);
    EXPECT_EQ(settings.Info.TypeTag, "INFO");
}

}  // namespace
