#pragma once
// Files with an owner. The constructor that opens and every read, write and seek
// throw CFileException on failure; Open reports failure as FALSE instead.
#include <windows.h>

#include <string>

#include "win32/Handles.h"

class CFileException {
public:
    enum Cause { none, genericException, fileNotFound, accessDenied, sharingViolation, diskFull };
    CFileException(Cause cause, LONG osError, std::string fileName)
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName))
    {
    }
    static Cause CauseFromOsError(LONG osError);

    Cause m_cause;
    LONG m_lOsError;  // the system's error code
    std::string m_strFileName;
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoTruncate = 0x1000,
        modeCreate = 0x2000,
    };
    enum SeekPosition { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

    CFile() = default;
    CFile(const char* fileName, UINT openFlags);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // error, when given, receives the cause of a failure.
    BOOL Open(const char* fileName, UINT openFlags, CFileException* error = nullptr);
    void Close();
    UINT Read(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);
    ULONGLONG Seek(LONGLONG offset, SeekPosition from);
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG GetLength() const;
    void SetLength(ULONGLONG length);
    void Flush();
    bool IsOpen() const { return static_cast<bool>(m_file); }

private:
    win32::UniqueHandle m_file;
    [[noreturn]] void Throw(DWORD osError) const;
    std::string m_fileName;
};
