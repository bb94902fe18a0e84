#include "ConfigCommands.h"

#include <gtest/gtest.h>

using namespace gatecfg;

namespace {

ConfigControls Filled()
{
    ConfigControls c;
    c.SpinEdit1 = 1;
    c.MaskEdit2 = L"0.5";
    c.SpinEdit3 = 2;
    c.MaskEdit3 = L"1.5";
    c.ComboBox1 = 0;
    c.SpinEdit7 = 1;
    c.MaskEdit4 = L"0.5";
    c.SpinEdit8 = 4;
    c.MaskEdit5 = L"2.0";
    c.ComboBox2 = 1;
    c.ComboBox3 = 0;
    c.MaskEdit6 = L"1.0";
    c.SpinEdit10 = 3;
    c.MaskEdit1 = L"0.5";
    c.MaskEdit7 = L"5";
    c.MaskEdit8 = L"7";
    c.Edit1 = L"  GV \t";
    return c;
}

ConfigControls Blank()
{
    return ConfigControls{};
}

ConfigControls Cyrillic()
{
    ConfigControls c;
    c.Edit1 = L"Привет";
    c.ComboBox2 = 2;
    c.ComboBox3 = 1;
    c.MaskEdit6 = L"5";
    c.SpinEdit8 = 3;
    c.MaskEdit5 = L"0.1";
    return c;
}

}  // namespace

TEST(ConfigCommands, FramesAndConfirmations)
{
    const DeviceIdentity sideB{"127", "B"};
    const DeviceIdentity sideA{"127", "A"};
    const std::wstring ip = L"10.0.0.12";
    const struct {
        ConfigCommand command;
        ConfigControls controls;
        DeviceIdentity device;
        const wchar_t* confirmation;
        const char* frame;
    } cases[] = {
        {ConfigCommand::Reset, Filled(), sideB,
         L"Сбросить настройки устройства " L"10.0.0.12" L" ?", "$127BRD21"},
        {ConfigCommand::Reset, Filled(), sideA,
         L"Сбросить настройки устройства " L"10.0.0.12" L" ?", "$127ARDEB"},
        {ConfigCommand::PrimaryRelayA, Filled(), sideB,
         L"Для устройства " L"10.0.0.12" L" Сторона А, назначить основным реле" L"1" L" время " L"0.5" L" ?",
         "$127APR10579"},
        {ConfigCommand::SecondaryRelayA, Filled(), sideB,
         L"Для устройства " L"10.0.0.12" L" Сторона А, назначить дополнитеьным реле" L"2" L" время " L"1.5" L" ?",
         "$127ASR215R4F"},
        {ConfigCommand::PrimaryRelayB, Filled(), sideA,
         L"Для устройства " L"10.0.0.12" L" Сторона B, назначить основным реле" L"1" L" время " L"0.5" L" ?",
         "$127BPR10580"},
        {ConfigCommand::SecondaryRelayB, Filled(), sideA,
         L"Для устройства " L"10.0.0.12" L" Сторона B, назначить дополнитеьным реле" L"4" L" время " L"2.0" L" ?",
         "$127BSR420G47"},
        {ConfigCommand::RelayOffDelay, Filled(), sideA,
         L"Для устройства " L"10.0.0.12"
         L" назначить задержку выключения основного реле после начала прохода приоритет " L"A"
         L" время " L"1.0" L" ?",
         "$127BDL110CF"},
        {ConfigCommand::PanicRelay, Filled(), sideA,
         L"Для устройства " L"10.0.0.12" L" реле ПАНИКИ " L"3" L" и время включения в сек " L"0.5" L" ?",
         "$127BRP3059C"},
        {ConfigCommand::PassWaitA, Filled(), sideB,
         L"Для устройства " L"10.0.0.12" L" Сторона А  установить время ожидания прохода в сек " L"5" L" ?",
         "$127AST533"},
        {ConfigCommand::PassWaitB, Filled(), sideA,
         L"Для устройства " L"10.0.0.12" L" Сторона B установить время ожидания прохода в сек " L"7" L" ?",
         "$127BST7CD"},
        {ConfigCommand::FreeCommand, Filled(), sideB,
         L"Для устройства " L"10.0.0.12" L" отправить команду " L"  GV \t" L" ?", "$127GVE5"},
        // Blank edits travel as blanks, an unselected colour as nothing, an
        // unselected priority side as "0".
        {ConfigCommand::PrimaryRelayA, Blank(), sideB,
         L"Для устройства " L"10.0.0.12" L" Сторона А, назначить основным реле" L"0" L" время " L" . " L" ?",
         "$127APR0  E7"},
        {ConfigCommand::SecondaryRelayA, Blank(), sideB,
         L"Для устройства " L"10.0.0.12" L" Сторона А, назначить дополнитеьным реле" L"0" L" время " L" . " L" ?",
         "$127ASR0  A3"},
        {ConfigCommand::RelayOffDelay, Blank(), sideB,
         L"Для устройства " L"10.0.0.12"
         L" назначить задержку выключения основного реле после начала прохода приоритет " L""
         L" время " L" . " L" ?",
         "$127BDL0  50"},
        {ConfigCommand::PanicRelay, Blank(), sideB,
         L"Для устройства " L"10.0.0.12" L" реле ПАНИКИ " L"0" L" и время включения в сек " L" . " L" ?",
         "$127BRP0  8E"},
        {ConfigCommand::PassWaitA, Blank(), sideB,
         L"Для устройства " L"10.0.0.12" L" Сторона А  установить время ожидания прохода в сек " L" " L" ?",
         "$127AST 85"},
        {ConfigCommand::FreeCommand, Blank(), sideB,
         L"Для устройства " L"10.0.0.12" L" отправить команду " L"" L" ?", "$1270B"},
        {ConfigCommand::SecondaryRelayB, Cyrillic(), sideB,
         L"Для устройства " L"10.0.0.12" L" Сторона B, назначить дополнитеьным реле" L"3" L" время " L"0.1" L" ?",
         "$127BSR301N25"},
        {ConfigCommand::RelayOffDelay, Cyrillic(), sideB,
         L"Для устройства " L"10.0.0.12"
         L" назначить задержку выключения основного реле после начала прохода приоритет " L"B"
         L" время " L"5" L" ?",
         "$127BDL2510"},
        {ConfigCommand::FreeCommand, Cyrillic(), sideB,
         L"Для устройства " L"10.0.0.12" L" отправить команду " L"Привет" L" ?",
         "$127\xCF\xF0\xE8\xE2\xE5\xF2" "4F"},
    };
    for (const auto& c : cases) {
        const PreparedCommand prepared = PrepareCommand(c.command, ip, c.controls);
        EXPECT_TRUE(prepared.Confirmation() == c.confirmation)
            << "command " << static_cast<int>(c.command) << " frame " << c.frame;
        EXPECT_EQ(prepared.Frame(c.device), c.frame) << "command " << static_cast<int>(c.command);
    }
}

TEST(ConfigCommands, PreparedCommandKeepsTheValuesReadBeforeConfirmation)
{
    ConfigControls controls = Filled();
    const PreparedCommand prepared = PrepareCommand(ConfigCommand::PrimaryRelayB, L"10.0.0.12", controls);
    controls.SpinEdit7 = 4;  // a reply decoded while the box is open
    controls.MaskEdit4 = L"9.9";
    EXPECT_EQ(prepared.Frame({"127", "B"}), "$127BPR10580");
    EXPECT_EQ(prepared.Frame({"089", "A"}), "$089BPR10546");  // the record looked up afterwards
}

TEST(ConfigCommands, Poll)
{
    EXPECT_TRUE(PollConfirmation(L"10.0.0.12") == L"Опросить устройство " L"10.0.0.12" L" ?");
    const std::vector<std::string> expected = {
        "$089AGNC2", "$089AGLA0", "$089AGV38", "$089AGD19", "$089AGC8E", "$089ART43", "$089BRT89",
    };
    EXPECT_EQ(PollFrames({"089", "A"}), expected);
    const std::vector<std::string> sideB = PollFrames({"127", "B"});
    ASSERT_EQ(sideB.size(), 7u);
    EXPECT_EQ(sideB[0], "$127BGNE3");
    EXPECT_EQ(sideB[5], AppendCrc("$127ART"));
    EXPECT_EQ(sideB[6], AppendCrc("$127BRT"));
}

TEST(ConfigCommands, LightLetter)
{
    EXPECT_EQ(LightLetter(0), "R");
    EXPECT_EQ(LightLetter(1), "G");
    EXPECT_EQ(LightLetter(2), "N");
    EXPECT_EQ(LightLetter(-1), "");
    EXPECT_EQ(LightLetter(3), "");
}
