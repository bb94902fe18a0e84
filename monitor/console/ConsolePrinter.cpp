#include "ConsolePrinter.h"
#include "containers/AnsiText.h"
#include "frontend/MonitorRecordView.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The C locale's isprint, decided on the byte value itself: bytes above 0x7F
// are no characters of the console's code page that a dump may show.
wchar_t DumpCharacter(uint8_t byte)
{
    return byte >= 0x20 && byte < 0x7F ? static_cast<wchar_t>(byte) : L'.';
}

void AppendHex(std::wstring& out, const uint8_t* bytes, int count)
{
    static const wchar_t kDigits[] = L"0123456789abcdef";
    for (int i = 0; i < count; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
        out += ' ';
    }
}

}  // namespace

ConsolePrinter::ConsolePrinter(ConsoleScreen& screen, DateTimeSource& clock)
    : screen_(screen), clock_(clock)
{
}

void ConsolePrinter::PrintLine(const char* device, const wchar_t* text)
{
    char date[16] = "", time[16] = "";
    clock_.Now(date, time);
    char stamp[40];
    const int stampLength = std::snprintf(stamp, sizeof stamp, "%s %s - ", date, time);
    std::wstring line = AnsiToWide(stamp, stampLength > 0 ? stampLength : 0);
    line.append(AnsiToWide(device, std::strlen(device))).append(L": ").append(text).append(L"\n");
    Write(line);
}

void ConsolePrinter::PrintRecord(const void* record, uint32_t size, MessageTexts& texts)
{
    std::lock_guard<std::mutex> hold(endLock_);
    if (ended_)
        return;
    MonitorRecordView view;
    if (!SplitMonitorRecord(record, size, &view))
        return;
    if (view.code == kConsoleCodeTxData || view.code == kConsoleCodeRxData) {
        DumpData(view.name, view.code, view.payload, view.payloadLength);
        return;
    }
    std::wstring text;
    const bool known = texts.Text(view.code, view.payload, view.payloadLength, &text);
    PrintText(view.name, view.code, known ? text.c_str() : nullptr);
}

void ConsolePrinter::PrintText(const char* device, uint32_t code, const wchar_t* text)
{
    lastCode_ = code;
    if (text) {
        PrintLine(device, text);
        return;
    }
    char unknown[48];
    const int length = std::snprintf(unknown, sizeof unknown, "unknown msg (%d/0x%08x)",
                                     static_cast<int>(code), static_cast<unsigned>(code));
    PrintLine(device, AnsiToWide(unknown, length > 0 ? length : 0).c_str());
}

void ConsolePrinter::PrintProviderFailure(const char* progId, long result)
{
    std::lock_guard<std::mutex> hold(endLock_);
    if (ended_)
        return;
    char line[400];  // a ProgID has at most 260 characters
    const int length = std::snprintf(line, sizeof line, "Cannot create message provider %s (0x%08lx)\n",
                                     progId, static_cast<unsigned long>(result));
    Write(AnsiToWide(line, length > 0 ? std::min<size_t>(length, sizeof line - 1) : 0));
}

void ConsolePrinter::DumpData(const char* device, uint32_t code, const uint8_t* bytes,
                              uint32_t count)
{
    if (code != lastCode_ || _stricmp(device, lastDevice_.c_str()) != 0) {
        PrintLine(device, code == kConsoleCodeTxData ? L"TX" : L"RX");
        lastCode_ = code;
        lastDevice_ = device;
        dumpColumn_ = 0;
    }
    if (count == 0)
        return;  // moving the cursor up would leave the next line over the open one

    ScreenCursor at{};
    const bool console = screen_.GetCursor(&at);
    if (console)
        screen_.SetCursor({dumpColumn_, dumpColumn_ != 0 && at.row > 0 ? at.row - 1 : at.row});
    while (count > 0) {
        const int piece = static_cast<int>(std::min<uint32_t>(count, kBytesPerLine - dumpColumn_));
        DumpPiece(bytes, piece, console);
        bytes += piece;
        count -= piece;
        dumpColumn_ += piece;
        if (dumpColumn_ >= kBytesPerLine)
            dumpColumn_ = 0;
    }
}

// One line's piece starting at the dump column: on a console in place, where
// the cursor stands; in a file as a fresh line laid out in the same columns.
void ConsolePrinter::DumpPiece(const uint8_t* bytes, int piece, bool console)
{
    const int hexColumn = kHexColumn + dumpColumn_ * 3;
    std::wstring text;
    text.reserve(kHexColumn + kBytesPerLine * 4 + 1);
    if (!console)
        text.assign(dumpColumn_, L' ');
    for (int i = 0; i < piece; ++i)
        text += DumpCharacter(bytes[i]);
    if (console) {
        Write(text);
        ScreenCursor at{};
        if (screen_.GetCursor(&at))
            screen_.SetCursor({hexColumn, at.row});
        text.clear();
    } else {
        text.resize(hexColumn, L' ');
    }
    AppendHex(text, bytes, piece);
    text += L'\n';
    Write(text);
}

void ConsolePrinter::PrintLast(const char* text)
{
    std::lock_guard<std::mutex> hold(endLock_);
    ended_ = true;
    Write(std::wstring(text, text + std::strlen(text)));
}
