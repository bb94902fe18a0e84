#include "ConsolePrinter.h"
#include "FakeScreen.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <numeric>
#include <vector>

namespace {

const char kStamp[] = "07/04/24 12:34:56 - ";

std::vector<uint8_t> Sequence(uint8_t first, size_t count)
{
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

class ConsolePrinterTest : public ::testing::Test {
protected:
    void Dump(const char* device, uint32_t code, const std::vector<uint8_t>& bytes)
    {
        printer.DumpData(device, code, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }

    FakeScreen screen;
    FixedClock clock;
    ConsolePrinter printer{screen, clock};
};

TEST_F(ConsolePrinterTest, TextLinesAndTheUnknownMessageLine)
{
    printer.PrintText("COM2", 1, L"device opened");
    printer.PrintText("COM2", 15, nullptr);
    printer.PrintText("COM2", 0x80000001u, nullptr);
    EXPECT_EQ(screen.Line(0), std::string(kStamp) + "COM2: device opened");
    EXPECT_EQ(screen.Line(1), std::string(kStamp) + "COM2: unknown msg (15/0x0000000f)");
    EXPECT_EQ(screen.Line(2), std::string(kStamp) + "COM2: unknown msg (-2147483647/0x80000001)");
    EXPECT_EQ(screen.RowCount(), 3);
}

// Device names come in the ANSI code page, provider texts in UTF-16: the
// screen gets both as the characters they stand for.
TEST_F(ConsolePrinterTest, DeviceNamesAndTextsBeyondAscii)
{
    const char device[] = "Ger\xe4t";  // "Gerät" in code page 1252
    std::wstring shown(5, L'\0');
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, device, 5, &shown[0], 5), 5);
    printer.PrintText(device, 4, L"Accepted PIPE connection from \\\\.\\pipe\\\x0444\x00e9");
    printer.PrintProviderFailure("Quelstd.StdMsgProvider", static_cast<long>(0x800401F3));
    EXPECT_EQ(screen.WideLine(0), L"07/04/24 12:34:56 - " + shown +
                                      L": Accepted PIPE connection from \\\\.\\pipe\\\x0444\x00e9");
    EXPECT_EQ(screen.Line(1), "Cannot create message provider Quelstd.StdMsgProvider (0x800401f3)");
}

// The program's last line stays last: a record or failure that comes after it
// (a reconnect failure on the monitor's strand as the program ends) is not shown.
TEST_F(ConsolePrinterTest, NothingIsPrintedAfterTheLastLine)
{
    printer.PrintText("COM2", 1, L"device opened");
    printer.PrintLast("Uninitializing...\n");
    printer.PrintProviderFailure("Quelstd.StdMsgProvider", static_cast<long>(0x800401F3));
    EXPECT_EQ(screen.Line(1), "Uninitializing...");
    EXPECT_EQ(screen.RowCount(), 2);
}

TEST_F(ConsolePrinterTest, TwentyBytesThenFourMoreCompleteTheSecondLineInPlace)
{
    Dump("COM2", kConsoleCodeRxData, Sequence('A', 20));
    EXPECT_EQ(screen.Line(0), std::string(kStamp) + "COM2: RX");
    EXPECT_EQ(screen.Line(1),
              "ABCDEFGHIJKLMNOP    41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50");
    EXPECT_EQ(screen.Line(2), "QRST                51 52 53 54");
    EXPECT_EQ(screen.cursor().row, 3);

    Dump("com2", kConsoleCodeRxData, Sequence('U', 4));  // the same device, by another case
    EXPECT_EQ(screen.Line(2), "QRSTUVWX            51 52 53 54 55 56 57 58");
    EXPECT_EQ(screen.Line(2).find('U'), 4u);
    EXPECT_EQ(screen.Line(2).find("55"), 32u);
    EXPECT_EQ(screen.RowCount(), 3);
    EXPECT_EQ(screen.cursor().row, 3);
    EXPECT_EQ(screen.cursor().column, 0);

    // Eight more fill the line exactly; the next byte starts a new one.
    Dump("COM2", kConsoleCodeRxData, Sequence('a', 9));
    EXPECT_EQ(screen.Line(2),
              "QRSTUVWXabcdefgh    51 52 53 54 55 56 57 58 61 62 63 64 65 66 67 68");
    EXPECT_EQ(screen.Line(3), "i                   69");
}

TEST_F(ConsolePrinterTest, ControlAndHighBytesShowAsDots)
{
    Dump("COM1", kConsoleCodeTxData, Sequence(0, 256));
    for (int value = 0; value < 256; ++value) {
        const std::string line = screen.Line(1 + value / 16);
        const char expected = value >= 0x20 && value < 0x7F ? static_cast<char>(value) : '.';
        ASSERT_EQ(line[value % 16], expected) << "byte " << value;
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", value);
        ASSERT_EQ(line.substr(20 + 3 * (value % 16), 2), hex) << "byte " << value;
    }
}

TEST_F(ConsolePrinterTest, NewHeaderForAnotherDirectionDeviceOrAnInterveningText)
{
    Dump("COM2", kConsoleCodeTxData, Sequence('a', 2));
    Dump("COM2", kConsoleCodeRxData, Sequence('b', 2));
    Dump("COM3", kConsoleCodeRxData, Sequence('c', 2));
    printer.PrintText("COM3", 2, L"device closed");
    Dump("COM3", kConsoleCodeRxData, Sequence('d', 2));
    const std::vector<std::string> expected = {
        std::string(kStamp) + "COM2: TX", "ab                  61 62",
        std::string(kStamp) + "COM2: RX", "bc                  62 63",
        std::string(kStamp) + "COM3: RX", "cd                  63 64",
        std::string(kStamp) + "COM3: device closed",
        std::string(kStamp) + "COM3: RX", "de                  64 65",
    };
    ASSERT_EQ(screen.RowCount(), static_cast<int>(expected.size()));
    for (size_t row = 0; row < expected.size(); ++row)
        EXPECT_EQ(screen.Line(static_cast<int>(row)), expected[row]) << "row " << row;
}

TEST_F(ConsolePrinterTest, AnEmptyChunkLeavesTheOpenLineAlone)
{
    Dump("COM2", kConsoleCodeRxData, Sequence('A', 3));
    Dump("COM2", kConsoleCodeRxData, {});
    printer.PrintText("COM2", 1, L"device opened");
    EXPECT_EQ(screen.Line(1), "ABC                 41 42 43");
    EXPECT_EQ(screen.Line(2), std::string(kStamp) + "COM2: device opened");
}

TEST(ConsolePrinterRedirected, PadsToColumnTwentyAndStartsContinuationsOnAFreshLine)
{
    FakeScreen file(false);
    FixedClock clock;
    ConsolePrinter printer(file, clock);
    const std::vector<uint8_t> first = Sequence('A', 20), more = Sequence('U', 4);
    printer.DumpData("COM2", kConsoleCodeRxData, first.data(), 20);
    printer.DumpData("COM2", kConsoleCodeRxData, more.data(), 4);
    printer.PrintText("COM2", 15, nullptr);
    EXPECT_EQ(file.stream(),
              std::string(kStamp) + "COM2: RX\n"
              "ABCDEFGHIJKLMNOP    41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 \n"
              "QRST                51 52 53 54 \n"
              "    UVWX                        55 56 57 58 \n" +
              kStamp + "COM2: unknown msg (15/0x0000000f)\n");
    EXPECT_EQ(file.flushes(), 0);  // the monitor decides when
    printer.Flush();
    EXPECT_EQ(file.flushed(), file.stream());
}

}  // namespace
