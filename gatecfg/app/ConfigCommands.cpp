#include "ConfigCommands.h"

#include <utility>

#include "Cp1251.h"
#include "StrUtil.h"

namespace gatecfg {

namespace {

using Side = PreparedCommand::FrameSide;

std::wstring RelayText(int relay)
{
    return std::to_wstring(relay);
}

// Times travel without their decimal point: "0.5" -> "05", a blank edit as blanks.
std::string TimeDigits(const std::wstring& text)
{
    return ReplaceAll(ToCp1251(text), ".", "");
}

const wchar_t* PrioritySideText(int itemIndex)
{
    return itemIndex == 0 ? L"A" : itemIndex == 1 ? L"B" : L"";
}

// Blanks and control characters at either end are dropped.
std::wstring Trimmed(const std::wstring& text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && text[first] <= L' ')
        ++first;
    while (last > first && text[last - 1] <= L' ')
        --last;
    return text.substr(first, last - first);
}

std::wstring ForDevice(const std::wstring& device)
{
    return L"Для устройства " + device;
}

PreparedCommand Relay(const std::wstring& device, const wchar_t* sideAndRole, Side side,
                      const char* command, int relay, const std::wstring& time,
                      const std::string& colour = {})
{
    return PreparedCommand(
        ForDevice(device) + sideAndRole + RelayText(relay) + L" время " + time + L" ?", side,
        command + ToCp1251(RelayText(relay)) + TimeDigits(time) + colour);
}

PreparedCommand PassWait(const std::wstring& device, const wchar_t* sideText, Side side,
                         const std::wstring& time)
{
    return PreparedCommand(ForDevice(device) + sideText + time + L" ?", side, "ST" + TimeDigits(time));
}

}  // namespace

PreparedCommand::PreparedCommand(std::wstring confirmation, FrameSide side, std::string parameters)
    : confirmation_(std::move(confirmation)), side_(side), parameters_(std::move(parameters))
{
}

std::string PreparedCommand::Frame(const DeviceIdentity& device) const
{
    std::string frame = "$" + device.DevNum;
    switch (side_) {
    case FrameSide::Device: frame += device.Side; break;
    case FrameSide::A: frame += "A"; break;
    case FrameSide::B: frame += "B"; break;
    case FrameSide::None: break;
    }
    return AppendCrc(frame + parameters_);
}

std::string LightLetter(int itemIndex)
{
    static const char* const letters[] = {"R", "G", "N"};
    return itemIndex >= 0 && itemIndex < 3 ? letters[itemIndex] : "";
}

PreparedCommand PrepareCommand(ConfigCommand command, const std::wstring& device,
                               const ConfigControls& c)
{
    switch (command) {
    case ConfigCommand::Reset:
        return PreparedCommand(L"Сбросить настройки устройства " + device + L" ?", Side::Device, "RD");
    case ConfigCommand::PrimaryRelayA:
        return Relay(device, L" Сторона А, назначить основным реле", Side::A, "PR", c.SpinEdit1,
                     c.MaskEdit2);
    case ConfigCommand::SecondaryRelayA:
        return Relay(device, L" Сторона А, назначить дополнитеьным реле", Side::A, "SR",
                     c.SpinEdit3, c.MaskEdit3, LightLetter(c.ComboBox1));
    case ConfigCommand::PrimaryRelayB:
        return Relay(device, L" Сторона B, назначить основным реле", Side::B, "PR", c.SpinEdit7,
                     c.MaskEdit4);
    case ConfigCommand::SecondaryRelayB:
        return Relay(device, L" Сторона B, назначить дополнитеьным реле", Side::B, "SR",
                     c.SpinEdit8, c.MaskEdit5, LightLetter(c.ComboBox2));
    case ConfigCommand::RelayOffDelay:
        // The priority side travels as item index + 1: "1" A, "2" B, "0" none.
        return PreparedCommand(
            ForDevice(device) +
                L" назначить задержку выключения основного реле после начала прохода приоритет " +
                PrioritySideText(c.ComboBox3) + L" время " + c.MaskEdit6 + L" ?",
            Side::B, "DL" + std::to_string(c.ComboBox3 + 1) + TimeDigits(c.MaskEdit6));
    case ConfigCommand::PanicRelay:
        return PreparedCommand(ForDevice(device) + L" реле ПАНИКИ " + RelayText(c.SpinEdit10) +
                                   L" и время включения в сек " + c.MaskEdit1 + L" ?",
                               Side::B,
                               "RP" + ToCp1251(RelayText(c.SpinEdit10)) + TimeDigits(c.MaskEdit1));
    case ConfigCommand::PassWaitA:
        return PassWait(device, L" Сторона А  установить время ожидания прохода в сек ", Side::A,
                        c.MaskEdit7);
    case ConfigCommand::PassWaitB:
        return PassWait(device, L" Сторона B установить время ожидания прохода в сек ", Side::B,
                        c.MaskEdit8);
    case ConfigCommand::FreeCommand:
        return PreparedCommand(ForDevice(device) + L" отправить команду " + c.Edit1 + L" ?",
                               Side::None, ToCp1251(Trimmed(c.Edit1)));
    }
    return PreparedCommand({}, Side::None, {});
}

std::wstring PollConfirmation(const std::wstring& device)
{
    return L"Опросить устройство " + device + L" ?";
}

std::vector<std::string> PollFrames(const DeviceIdentity& device)
{
    std::vector<std::string> frames;
    const std::string own = "$" + device.DevNum + device.Side;
    for (const char* command : {"GN", "GL", "GV", "GD", "GC"})
        frames.push_back(AppendCrc(own + command));
    frames.push_back(AppendCrc("$" + device.DevNum + "ART"));
    frames.push_back(AppendCrc("$" + device.DevNum + "BRT"));
    return frames;
}

}  // namespace gatecfg
