#include "TextLogFile.h"

#include <cstdarg>
#include <cstdio>

bool CTextLogFile::Open(const std::string& path)
{
    file_.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    // Writing from where the handle starts would overwrite the file's old lines.
    const LARGE_INTEGER none = {};
    if (file_ && !SetFilePointerEx(file_.get(), none, nullptr, FILE_END))
        file_.reset();
    return static_cast<bool>(file_);
}

void CTextLogFile::Truncate()
{
    if (!IsOpen())
        return;
    const LARGE_INTEGER none = {};
    SetFilePointerEx(file_.get(), none, nullptr, FILE_BEGIN);
    SetEndOfFile(file_.get());
}

void CTextLogFile::Printf(const char* format, ...)
{
    if (!IsOpen())
        return;
    char text[kPrintfLimit + 1];
    va_list arguments;
    va_start(arguments, format);
    const int needed = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (needed > 0)
        Write(text, needed < static_cast<int>(sizeof text) ? needed : kPrintfLimit);
}

void CTextLogFile::Write(const char* bytes, size_t length)
{
    if (!IsOpen())
        return;
    std::string text;
    text.reserve(length + length / 16);
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] == '\n')
            text += '\r';
        text += bytes[i];
    }
    DWORD written = 0;
    WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
