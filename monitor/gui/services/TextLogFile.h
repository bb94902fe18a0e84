#pragma once
#include "win32/Handles.h"

#include <cstddef>
#include <string>

// A text file written at its end, line feeds as "\r\n". Every operation but
// Open does nothing while the file is closed.
class CTextLogFile {
public:
    // The longest text one Printf writes; longer output is cut there.
    static constexpr size_t kPrintfLimit = 1023;

    // Opens the file for appending, creating it when missing and never
    // truncating it; others may read it meanwhile. Closes any file before.
    bool Open(const std::string& path);
    void Close() { file_.reset(); }
    bool IsOpen() const { return static_cast<bool>(file_); }

    // Cuts the file to nothing; later writes start at its beginning.
    void Truncate();

    void Printf(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));

    // Writes the bytes with every line feed as "\r\n" (a carriage return
    // already in front of one is written twice); the text after the last line
    // feed goes out unchanged.
    void Write(const char* bytes, size_t length);

private:
    win32::UniqueHandle file_;
};
