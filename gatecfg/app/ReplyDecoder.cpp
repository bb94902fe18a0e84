#include "ReplyDecoder.h"

#include "ControllerFrame.h"
#include "Cp1251.h"

namespace gatecfg {

namespace {

// Fields of the reply body: 1-3 device number, 4 side, 5-6 command, 7 on parameters.
class Body {
public:
    explicit Body(const std::string& line) : body_(ReplyBody(line)) {}
    std::string Raw(std::size_t position, std::size_t length = 1) const
    {
        return FieldAt(body_, position, length);
    }
    std::wstring Text(std::size_t position, std::size_t length = 1) const
    {
        return FromCp1251(Raw(position, length));
    }
    bool Is(std::size_t position, char ch) const { return Raw(position) == std::string(1, ch); }

private:
    std::string body_;
};

// A relay number is one decimal digit that a spin edit can hold. Anything
// else leaves the spin edit as it is, so that it never shows (and the next
// assignment never sends) a number the device does not have; the row shows
// the reply's own digit.
std::optional<int> RelayNumber(const std::string& field)
{
    if (field.size() != 1 || field[0] < '0' || field[0] > '9')
        return std::nullopt;
    const int number = field[0] - '0';
    if (number < kMinRelayNumber || number > kMaxRelayNumber)
        return std::nullopt;
    return number;
}

// A field cut short by the end of the line loads no control: a truncated
// reply never wipes what the user sees.
std::optional<std::wstring> TimeOf(const std::string& digits)
{
    if (digits.size() != 2)
        return std::nullopt;
    return InsertDecimalPoint(digits);
}

std::optional<std::wstring> WaitingTimeOf(const std::string& digit)
{
    if (digit.empty())
        return std::nullopt;
    return FromCp1251(digit);
}

void DecodeIdentity(const Body& body, const wchar_t* label, ReplyEffects& effects)
{
    effects.Rows.push_back({label, body.Text(7, 20)});
}

// A relay row: the label carries the relay number, the value the raw two
// digits of its on-time; the spin edit and the time edit get both.
void DecodeRelay(const Body& body, std::size_t position, const wchar_t* label,
                 std::optional<int>& spinEdit, std::optional<std::wstring>& maskEdit,
                 ReplyEffects& effects)
{
    effects.Rows.push_back(
        {label + body.Text(position) + L" Время вкл. ", body.Text(position + 1, 2)});
    spinEdit = RelayNumber(body.Raw(position));
    maskEdit = TimeOf(body.Raw(position + 1, 2));
}

void DecodeConfiguration(const Body& body, ReplyEffects& effects)
{
    auto& rows = effects.Rows;
    auto& c = effects.Controls;
    rows.push_back({L"Часы реального времени", body.Is(7, 'N') ? L"Отключено" : L"Включено"});
    rows.push_back({L"Режим On-line", body.Is(8, 'O') ? L"Включено" : L"Отключено"});
    rows.push_back({L"Считыватель сторона А", body.Is(9, 'R') ? L"Подключен" : L"Отключен"});
    rows.push_back({L"Считыватель сторона В", body.Is(10, 'R') ? L"Подключен" : L"Отключен"});
    rows.push_back({L"Безопасный режим", body.Is(11, 'F')   ? L"Динамический ключ"
                                         : body.Is(11, 'N') ? L"Отключен"
                                                            : L"Фиксированный ключ"});
    DecodeRelay(body, 12, L"Сторона А Основное реле № ", c.SpinEdit1, c.MaskEdit2, effects);
    DecodeRelay(body, 15, L"Сторона B Основное реле № ", c.SpinEdit7, c.MaskEdit4, effects);
    DecodeRelay(body, 18, L"Сторона А Дополнитеьное реле № ", c.SpinEdit3, c.MaskEdit3, effects);
    DecodeRelay(body, 21, L"Сторона В Дополнитеьное реле № ", c.SpinEdit8, c.MaskEdit5, effects);
    DecodeRelay(body, 24, L"Реле паника № ", c.SpinEdit10, c.MaskEdit1, effects);
    rows.push_back({L"Приоритет ", body.Is(27, '1') ? L" Сторона А" : L" Сторона B"});
    rows.push_back({L"Задержка выключения основного реле после прохода ", body.Text(28, 2)});
    c.MaskEdit6 = TimeOf(body.Raw(28, 2));
    rows.push_back({L"Время ожидания прохода сторона А", body.Text(30)});
    c.MaskEdit7 = WaitingTimeOf(body.Raw(30));
    rows.push_back({L"Время ожидания прохода сторона В", body.Text(31)});
    c.MaskEdit8 = WaitingTimeOf(body.Raw(31));
}

const wchar_t* MifareDisplay(const std::string& kind)
{
    if (kind == "G")
        return L"Подключен графический дисплей";
    if (kind == "T")
        return L"Подключен текстовый дисплей";
    if (kind == "N")
        return L"Дисплей не подключен";
    return nullptr;
}

const wchar_t* FifoSpeed(const std::string& code)
{
    if (code == "0")
        return L"1200ps";
    if (code == "1")
        return L"24000ps";
    if (code == "2")
        return L"4800ps";
    if (code == "3")
        return L"9600ps";
    return nullptr;
}

const wchar_t* FifoInterface(const std::string& code)
{
    if (code == "R")
        return L"RS232";
    if (code == "U")
        return L"UART";
    return nullptr;
}

const wchar_t* FifoFilter(const std::string& code)
{
    if (code == "C")
        return L"ASC HEX";
    if (code == "R")
        return L"Raw bin";
    if (code == "A")
        return L"ASC symbol";
    return nullptr;
}

void DecodeReaderType(const Body& body, ReplyEffects& effects)
{
    auto& rows = effects.Rows;
    const std::wstring side = body.Text(4);
    if (body.Is(7, 'M')) {
        if (const wchar_t* display = MifareDisplay(body.Raw(8)))
            rows.push_back({L"Считыватель сторона " + side, display});
        else
            rows.push_back({L"Считыватель Mifare сторона " + side, body.Text(8, 20)});
    } else if (body.Is(7, 'F')) {
        const std::wstring p = L"FIFO буфер сторона " + side;
        rows.push_back({p, L"Подключен"});
        if (const wchar_t* speed = FifoSpeed(body.Raw(8)))
            rows.push_back({p + L" Скорость", speed});
        if (const wchar_t* iface = FifoInterface(body.Raw(9)))
            rows.push_back({p + L" интерфейс", iface});
        if (const wchar_t* filter = FifoFilter(body.Raw(10)))
            rows.push_back({p + L" фильтрация", filter});
        rows.push_back({p + L" количество символов", body.Text(11, 2)});
        rows.push_back({p + L" символы инициации", body.Text(13, 4)});
        rows.push_back({p + L" символы инициации", body.Text(17)});
    }
}

}  // namespace

std::wstring InsertDecimalPoint(const std::string& digits)
{
    const auto digit = [&](std::size_t i) {
        return i < digits.size() ? FromCp1251(digits.substr(i, 1)) : std::wstring(L" ");
    };
    return digit(0) + L"." + digit(1);
}

ReplyEffects DecodeReply(const std::string& line)
{
    ReplyEffects effects;
    if (line.empty() || line[0] != '#')
        return effects;
    const Body body(line);
    const std::string command = body.Raw(5, 2);
    if (command == "GN")
        DecodeIdentity(body, L"Имя устройства", effects);
    else if (command == "GL")
        DecodeIdentity(body, L"Версия загрузчика", effects);
    else if (command == "GV")
        DecodeIdentity(body, L"Версия прошивки", effects);
    else if (command == "GD")
        DecodeIdentity(body, L"Серийный номер", effects);
    else if (command == "GC")
        DecodeConfiguration(body, effects);
    else if (command == "RT")
        DecodeReaderType(body, effects);
    return effects;
}

}  // namespace gatecfg
