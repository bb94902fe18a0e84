// The hex-dump view's content as a text file. Every line: "RX  " or "TX  " on
// a run's first line and four blanks on its others, each byte as "%02x ",
// three blanks for each of the (17 - count) missing groups, the bytes as
// characters (HexDumpChar), CR LF. The character column thus always starts at
// byte 55 of a line, and a full line is 73 bytes.
#pragma once

#include "HexDumpModel.h"
#include "HexLines.h"

#include <cstddef>

// Where the text goes.
class HexTextSink {
public:
    // False when the bytes could not be written.
    virtual bool Write(const char* data, size_t size) = 0;

protected:
    ~HexTextSink() = default;
};

constexpr size_t kHexTextLineMax = 73;

// One line of the text into `out` (at least kHexTextLineMax bytes); its length.
size_t FormatHexTextLine(const HexLine& line, char* out);

// Every line, oldest first; false as soon as the sink fails.
bool HexViewWriteText(const HexDumpModel& model, HexTextSink& sink);

// The text into the file at `path`, created or truncated. On failure the
// system's error code is the thread's last error; what was written stays.
bool HexViewSaveText(const HexDumpModel& model, const char* path);
