#pragma once
#include "ConsoleScreen.h"
#include "MessageTexts.h"

#include <cstdint>
#include <mutex>
#include <string>

constexpr uint32_t kConsoleCodeTxData = 9;
constexpr uint32_t kConsoleCodeRxData = 10;

// The console monitor's output: one time-stamped line per text record, and
// the port data of records 9 and 10 as dump lines of 16 bytes, characters in
// columns 0-15 and "%02x " from column 20. A chunk of the same device and
// direction continues an unfinished dump line; anything else in between
// starts a new "TX"/"RX" header. Used on one thread at a time, but for
// PrintLast, which may come from another.
class ConsolePrinter {
public:
    ConsolePrinter(ConsoleScreen& screen, DateTimeSource& clock);

    // One log record as the channel delivers it: port data is dumped, any
    // other record printed with its text. A malformed record is dropped.
    void PrintRecord(const void* record, uint32_t size, MessageTexts& texts);

    // A text record: its provider text, or none for the unknown-message line.
    // Device names are in the ANSI code page, as records carry them.
    void PrintText(const char* device, uint32_t code, const wchar_t* text);
    void DumpData(const char* device, uint32_t code, const uint8_t* bytes, uint32_t count);
    // The line, once at start, that says why the records of a provider will
    // show as unknown messages: its ProgID and the HRESULT of its creation.
    void PrintProviderFailure(const char* progId, long result);
    // The program's last line (ASCII), from any thread: records and failures
    // that come after it, also one being printed as it is called, show
    // nothing after it.
    void PrintLast(const char* text);
    void Flush() { screen_.Flush(); }

    static constexpr int kBytesPerLine = 16;
    static constexpr int kHexColumn = 20;

private:
    void PrintLine(const char* device, const wchar_t* text);
    void DumpPiece(const uint8_t* bytes, int piece, bool console);
    void Write(const std::wstring& text) { screen_.Write(text.data(), text.size()); }

    ConsoleScreen& screen_;
    DateTimeSource& clock_;
    uint32_t lastCode_ = 0;
    int dumpColumn_ = 0;  // bytes already printed on the current dump line
    std::string lastDevice_;
    std::mutex endLock_;  // orders PrintLast against a line being printed
    bool ended_ = false;
};
