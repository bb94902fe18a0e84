#include "ReplyDecoder.h"

#include <gtest/gtest.h>

#include "ControllerFrame.h"
#include "Cp1251.h"

using namespace gatecfg;

namespace {

std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (wchar_t ch : text) {
        const unsigned c = static_cast<unsigned>(ch);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Dump(const std::vector<DeviceInfoRow>& rows)
{
    std::string out;
    for (const auto& row : rows)
        out += "  [" + Utf8(row.Label) + "] = [" + Utf8(row.Value) + "]\n";
    return out;
}

// Every field set to a value no reply gives, to see which ones a reply loads.
ConfigControls Untouched()
{
    ConfigControls c;
    c.SpinEdit1 = c.SpinEdit3 = c.SpinEdit7 = c.SpinEdit8 = c.SpinEdit10 = 4;
    c.MaskEdit1 = c.MaskEdit2 = c.MaskEdit3 = c.MaskEdit4 = c.MaskEdit5 = c.MaskEdit6 = L"9.9";
    c.MaskEdit7 = c.MaskEdit8 = L"9";
    return c;
}

const char kConfigReply[] = "#127BGCNORRF10510520020030511055xxAA";

}  // namespace

TEST(ReplyDecoder, ConfigurationReplyGivesAllRowsAndLoadsControls)
{
    const ReplyEffects effects = DecodeReply(kConfigReply);
    const std::vector<DeviceInfoRow> expected = {
        {L"Часы реального времени", L"Отключено"},
        {L"Режим On-line", L"Включено"},
        {L"Считыватель сторона А", L"Подключен"},
        {L"Считыватель сторона В", L"Подключен"},
        {L"Безопасный режим", L"Динамический ключ"},
        {L"Сторона А Основное реле № " L"1" L" Время вкл. ", L"05"},
        {L"Сторона B Основное реле № " L"1" L" Время вкл. ", L"05"},
        {L"Сторона А Дополнитеьное реле № " L"2" L" Время вкл. ", L"00"},
        {L"Сторона В Дополнитеьное реле № " L"2" L" Время вкл. ", L"00"},
        {L"Реле паника № " L"3" L" Время вкл. ", L"05"},
        {L"Приоритет ", L" Сторона А"},
        {L"Задержка выключения основного реле после прохода ", L"10"},
        {L"Время ожидания прохода сторона А", L"5"},
        {L"Время ожидания прохода сторона В", L"5"},
    };
    EXPECT_EQ(effects.Rows, expected) << Dump(effects.Rows);

    ConfigControls c = Untouched();
    c.ComboBox1 = 2;
    c.Edit1 = L"kept";
    effects.Controls.ApplyTo(c);
    EXPECT_EQ(c.SpinEdit1, 1);
    EXPECT_EQ(c.MaskEdit2, L"0.5");
    EXPECT_EQ(c.SpinEdit7, 1);
    EXPECT_EQ(c.MaskEdit4, L"0.5");
    EXPECT_EQ(c.SpinEdit3, 2);
    EXPECT_EQ(c.MaskEdit3, L"0.0");
    EXPECT_EQ(c.SpinEdit8, 2);
    EXPECT_EQ(c.MaskEdit5, L"0.0");
    EXPECT_EQ(c.SpinEdit10, 3);
    EXPECT_EQ(c.MaskEdit1, L"0.5");
    EXPECT_EQ(c.MaskEdit6, L"1.0");
    EXPECT_EQ(c.MaskEdit7, L"5");
    EXPECT_EQ(c.MaskEdit8, L"5");
    EXPECT_EQ(c.ComboBox1, 2);
    EXPECT_EQ(c.Edit1, L"kept");
}

// Each entry: a reply line and one row its decoding must hold at that index.
TEST(ReplyDecoder, Texts)
{
    const struct {
        const char* line;
        std::size_t row;
        const wchar_t* label;
        const wchar_t* value;
    } cases[] = {
        {"#127BGNTORVALA-2 turnstile  AA", 0, L"Имя устройства", L"TORVALA-2 turnstile "},
        {"#127BGLLDR 1.02AA", 0, L"Версия загрузчика", L"LDR 1.02"},
        {"#127BGVFW 3.14AA", 0, L"Версия прошивки", L"FW 3.14"},
        {"#127BGD00012345678901234567890AA", 0, L"Серийный номер", L"00012345678901234567"},
        {"#127BGCxxxxx10510520020030521055AA", 0, L"Часы реального времени", L"Включено"},
        {"#127BGCxxxxx10510520020030521055AA", 1, L"Режим On-line", L"Отключено"},
        {"#127BGCxxxxx10510520020030521055AA", 2, L"Считыватель сторона А", L"Отключен"},
        {"#127BGCxxxxx10510520020030521055AA", 3, L"Считыватель сторона В", L"Отключен"},
        {"#127BGCxxxxx10510520020030521055AA", 4, L"Безопасный режим", L"Фиксированный ключ"},
        {"#127BGCxxxxN10510520020030521055AA", 4, L"Безопасный режим", L"Отключен"},
        {"#127BGCxxxxx10510520020030521055AA", 10, L"Приоритет ", L" Сторона B"},
        {"#127ARTMGAA", 0, L"Считыватель сторона " L"A", L"Подключен графический дисплей"},
        {"#127BRTMTAA", 0, L"Считыватель сторона " L"B", L"Подключен текстовый дисплей"},
        {"#127BRTMNAA", 0, L"Считыватель сторона " L"B", L"Дисплей не подключен"},
        {"#127ARTMX1234567890123456789012AA", 0, L"Считыватель Mifare сторона " L"A",
         L"X1234567890123456789"},
        {"#127BRTF3UC05ABCDEAA", 0, L"FIFO буфер сторона " L"B", L"Подключен"},
        {"#127BRTF3UC05ABCDEAA", 1, L"FIFO буфер сторона " L"B" L" Скорость", L"9600ps"},
        {"#127BRTF0RR05ABCDEAA", 1, L"FIFO буфер сторона " L"B" L" Скорость", L"1200ps"},
        {"#127BRTF1RR05ABCDEAA", 1, L"FIFO буфер сторона " L"B" L" Скорость", L"24000ps"},
        {"#127BRTF2RR05ABCDEAA", 1, L"FIFO буфер сторона " L"B" L" Скорость", L"4800ps"},
        {"#127BRTF3UC05ABCDEAA", 2, L"FIFO буфер сторона " L"B" L" интерфейс", L"UART"},
        {"#127BRTF3RC05ABCDEAA", 2, L"FIFO буфер сторона " L"B" L" интерфейс", L"RS232"},
        {"#127BRTF3UC05ABCDEAA", 3, L"FIFO буфер сторона " L"B" L" фильтрация", L"ASC HEX"},
        {"#127BRTF3UR05ABCDEAA", 3, L"FIFO буфер сторона " L"B" L" фильтрация", L"Raw bin"},
        {"#127BRTF3UA05ABCDEAA", 3, L"FIFO буфер сторона " L"B" L" фильтрация", L"ASC symbol"},
        {"#127BRTF3UC05ABCDEAA", 4, L"FIFO буфер сторона " L"B" L" количество символов", L"05"},
        {"#127BRTF3UC05ABCDEAA", 5, L"FIFO буфер сторона " L"B" L" символы инициации", L"ABCD"},
        {"#127BRTF3UC05ABCDEAA", 6, L"FIFO буфер сторона " L"B" L" символы инициации", L"E"},
        // Windows-1251 bytes from the controller show as Cyrillic.
        {"#127BGN\xC2\xF5\xEE\xE4 1AA", 0, L"Имя устройства", L"Вход 1"},
    };
    for (const auto& c : cases) {
        const ReplyEffects effects = DecodeReply(c.line);
        ASSERT_LT(c.row, effects.Rows.size()) << c.line << '\n' << Dump(effects.Rows);
        EXPECT_EQ(effects.Rows[c.row], (DeviceInfoRow{c.label, c.value}))
            << c.line << " row " << c.row << '\n' << Dump(effects.Rows);
    }
}

TEST(ReplyDecoder, FifoRowsForUnknownCodesAreLeftOut)
{
    const struct { const char* line; std::size_t rows; } cases[] = {
        {"#127BRTF3UC05ABCDEAA", 7},
        {"#127BRTF9UC05ABCDEAA", 6},  // speed
        {"#127BRTF3XC05ABCDEAA", 6},  // interface
        {"#127BRTF3UX05ABCDEAA", 6},  // filter
        {"#127BRTF???05ABCDEAA", 4},
        {"#127BRTFAA", 4},            // nothing after F: empty count and start characters
        {"#127BRTXAA", 0},            // neither Mifare nor FIFO
        {"#127BRTAA", 0},
    };
    for (const auto& c : cases) {
        const ReplyEffects effects = DecodeReply(c.line);
        EXPECT_EQ(effects.Rows.size(), c.rows) << c.line << '\n' << Dump(effects.Rows);
        EXPECT_TRUE(effects.Controls.Empty()) << c.line;
    }
    const ReplyEffects bare = DecodeReply("#127BRTF???AA");
    ASSERT_EQ(bare.Rows.size(), 4u);
    EXPECT_EQ(bare.Rows[1].Label, L"FIFO буфер сторона " L"B" L" количество символов");
    EXPECT_EQ(bare.Rows[1].Value, L"");
}

TEST(ReplyDecoder, BadRelayNumbersLeaveTheirSpinEditsAndDecodingGoesOn)
{
    // Positions 12 and 21 are not digits, 15 is a blank: only 18 and 24 load.
    const ReplyEffects effects = DecodeReply("#127BGCNORRFx05 05200?00305110 7xAA");
    ASSERT_EQ(effects.Rows.size(), 14u) << Dump(effects.Rows);
    EXPECT_EQ(effects.Rows[5].Label, L"Сторона А Основное реле № " L"x" L" Время вкл. ");
    EXPECT_EQ(effects.Rows[6].Label, L"Сторона B Основное реле № " L" " L" Время вкл. ");
    EXPECT_EQ(effects.Rows[8].Label, L"Сторона В Дополнитеьное реле № " L"?" L" Время вкл. ");
    EXPECT_EQ(effects.Rows[13].Value, L"7");

    ConfigControls c = Untouched();
    effects.Controls.ApplyTo(c);
    EXPECT_EQ(c.SpinEdit1, 4);
    EXPECT_EQ(c.SpinEdit7, 4);
    EXPECT_EQ(c.SpinEdit3, 2);
    EXPECT_EQ(c.SpinEdit8, 4);
    EXPECT_EQ(c.SpinEdit10, 3);
    EXPECT_EQ(c.MaskEdit2, L"0.5");  // the times next to a bad relay number still load
    EXPECT_EQ(c.MaskEdit5, L"0.0");
    EXPECT_EQ(c.MaskEdit7, L" ");
    EXPECT_EQ(c.MaskEdit8, L"7");
}

// The spin edits hold 0 to 4: a digit beyond them shows in its row only and
// leaves every spin edit as it was, as a non-digit does.
TEST(ReplyDecoder, RelayDigitsTheSpinEditsCannotHoldShowInTheirRowsOnly)
{
    for (char digit = '0'; digit <= '9'; ++digit) {
        std::string reply = kConfigReply;
        for (std::size_t position : {12u, 15u, 18u, 21u, 24u})
            reply[position] = digit;  // body position p is line position p + 1
        const ReplyEffects effects = DecodeReply(reply);
        ASSERT_EQ(effects.Rows.size(), 14u) << Dump(effects.Rows);
        const std::wstring shown(1, static_cast<wchar_t>(digit));
        EXPECT_EQ(effects.Rows[5].Label, L"Сторона А Основное реле № " + shown + L" Время вкл. ");
        EXPECT_EQ(effects.Rows[9].Label, L"Реле паника № " + shown + L" Время вкл. ");

        ConfigControls c;
        c.SpinEdit1 = c.SpinEdit3 = c.SpinEdit7 = c.SpinEdit8 = c.SpinEdit10 = 2;
        effects.Controls.ApplyTo(c);
        const int expected = digit <= '4' ? digit - '0' : 2;
        for (int value : {c.SpinEdit1, c.SpinEdit3, c.SpinEdit7, c.SpinEdit8, c.SpinEdit10})
            EXPECT_EQ(value, expected) << digit;
        EXPECT_EQ(c.MaskEdit2, L"0.5") << digit;  // the times load all the same
    }
}

TEST(ReplyDecoder, TruncatedConfigurationGivesEveryRowAndLoadsOnlyWholeFields)
{
    // The body ends after position 13: the first relay number and half its time.
    const ReplyEffects effects = DecodeReply("#127BGCNORRF10AA");
    ASSERT_EQ(effects.Rows.size(), 14u) << Dump(effects.Rows);
    EXPECT_EQ(effects.Rows[5], (DeviceInfoRow{L"Сторона А Основное реле № " L"1" L" Время вкл. ", L"0"}));
    EXPECT_EQ(effects.Rows[6], (DeviceInfoRow{L"Сторона B Основное реле № " L"" L" Время вкл. ", L""}));
    EXPECT_EQ(effects.Rows[10].Value, L" Сторона B");
    EXPECT_EQ(effects.Rows[13].Value, L"");

    ConfigControls c = Untouched();
    effects.Controls.ApplyTo(c);
    EXPECT_EQ(c.SpinEdit1, 1);
    const ConfigControls untouched = Untouched();
    EXPECT_EQ(c.MaskEdit2, untouched.MaskEdit2);
    EXPECT_EQ(c.SpinEdit7, untouched.SpinEdit7);
    EXPECT_EQ(c.SpinEdit10, untouched.SpinEdit10);
    EXPECT_EQ(c.MaskEdit6, untouched.MaskEdit6);
    EXPECT_EQ(c.MaskEdit8, untouched.MaskEdit8);

    // Nothing after the command at all: still the fourteen rows, no control.
    const ReplyEffects bare = DecodeReply("#127BGCAA");
    EXPECT_EQ(bare.Rows.size(), 14u);
    EXPECT_TRUE(bare.Controls.Empty());
}

TEST(ReplyDecoder, ShortAndForeignLinesHaveNoEffects)
{
    const char* const lines[] = {
        "", "#", "#1", "#12", "#127", "#127BAA", "#127BG",
        "#127BXXsomethingAA",  // unknown command
        "#127BRDAA", "#127BETAA", "#127BPING5C",
        "$127BGNE3",          // a request, not a reply
        "127BGNnameAA",
    };
    for (const char* line : lines) {
        const ReplyEffects effects = DecodeReply(line);
        EXPECT_TRUE(effects.Rows.empty()) << '"' << line << '"' << '\n' << Dump(effects.Rows);
        EXPECT_TRUE(effects.Controls.Empty()) << '"' << line << '"';
    }
}

TEST(ReplyDecoder, ShortIdentityRepliesGiveShortValues)
{
    const struct { const char* line; const wchar_t* value; } cases[] = {
        {"#127BGNAA", L""},
        {"#127BGNxAA", L"x"},
        {"#127BGN12345678901234567890123AA", L"12345678901234567890"},
    };
    for (const auto& c : cases) {
        const ReplyEffects effects = DecodeReply(c.line);
        ASSERT_EQ(effects.Rows.size(), 1u) << c.line;
        EXPECT_EQ(effects.Rows[0].Value, c.value) << c.line;
        EXPECT_TRUE(effects.Controls.Empty());
    }
}

TEST(ReplyDecoder, InsertDecimalPoint)
{
    EXPECT_EQ(InsertDecimalPoint("05"), L"0.5");
    EXPECT_EQ(InsertDecimalPoint("1"), L"1. ");
    EXPECT_EQ(InsertDecimalPoint(""), L" . ");
}

TEST(Cp1251, ConvertsBothWays)
{
    EXPECT_EQ(FromCp1251("\xCF\xF0\xE8\xE2\xE5\xF2 1"), L"Привет 1");
    EXPECT_EQ(ToCp1251(L"Привет 1"), "\xCF\xF0\xE8\xE2\xE5\xF2 1");
    EXPECT_EQ(ToCp1251(L"ё№"), "\xB8\xB9");
    EXPECT_EQ(ToCp1251(L"\x4E2D"), "?");
    EXPECT_EQ(FromCp1251(""), L"");
    EXPECT_EQ(ToCp1251(L""), "");
}
