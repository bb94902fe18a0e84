#include "HexText.h"

#include <cstring>

size_t FormatHexTextLine(const HexLine& line, char* out) {
    char* p = out;
    std::memcpy(p, line.firstOfRun ? HexLabel(line.direction) : "  ", 2);
    std::memcpy(p + 2, "  ", 2);
    p += 4;
    for (uint32_t i = 0; i < line.count; ++i) {
        *p++ = HexDigit(line.bytes[i] >> 4);
        *p++ = HexDigit(line.bytes[i]);
        *p++ = ' ';
    }
    const size_t blanks = 3 * (HexDumpModel::kBytesPerLine + 1 - line.count);
    std::memset(p, ' ', blanks);
    p += blanks;
    for (uint32_t i = 0; i < line.count; ++i)
        *p++ = HexDumpChar(line.bytes[i]);
    *p++ = '\r';
    *p++ = '\n';
    return static_cast<size_t>(p - out);
}

bool HexViewWriteText(const HexDumpModel& model, HexTextSink& sink) {
    HexLineReader reader = HexLineReader::All(model);
    HexLine line;
    char text[kHexTextLineMax];
    while (reader.Next(&line))
        if (!sink.Write(text, FormatHexTextLine(line, text)))
            return false;
    return true;
}
