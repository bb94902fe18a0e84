#include "File.h"

CFileException::Cause CFileException::CauseFromOsError(LONG osError)
{
    switch (osError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return fileNotFound;
    case ERROR_ACCESS_DENIED:
        return accessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return sharingViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return diskFull;
    default:
        return genericException;
    }
}

CFile::CFile(const char* fileName, UINT openFlags)
{
    CFileException error(CFileException::none, 0, fileName ? fileName : "");
    if (!Open(fileName, openFlags, &error))
        throw error;
}

BOOL CFile::Open(const char* fileName, UINT openFlags, CFileException* error)
{
    Close();
    m_fileName = fileName ? fileName : "";
    DWORD access = (openFlags & 3) == modeRead    ? GENERIC_READ
                   : (openFlags & 3) == modeWrite ? GENERIC_WRITE
                                                  : GENERIC_READ | GENERIC_WRITE;
    DWORD share;
    switch (openFlags & 0x70) {
    case shareExclusive:
        share = 0;
        break;
    case shareDenyWrite:
        share = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        share = FILE_SHARE_WRITE;
        break;
    default:
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    }
    DWORD disposition = !(openFlags & modeCreate)    ? OPEN_EXISTING
                        : (openFlags & modeNoTruncate) ? OPEN_ALWAYS
                                                     : CREATE_ALWAYS;
    m_file.reset(CreateFileA(m_fileName.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) {
        if (error) {
            LONG code = LONG(GetLastError());
            *error = CFileException(CFileException::CauseFromOsError(code), code, m_fileName);
        }
        return FALSE;
    }
    return TRUE;
}

void CFile::Close()
{
    m_file.reset();
}

void CFile::Throw(DWORD osError) const
{
    throw CFileException(CFileException::CauseFromOsError(LONG(osError)), LONG(osError), m_fileName);
}

UINT CFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!ReadFile(m_file.get(), buffer, count, &read, nullptr))
        Throw(GetLastError());
    return read;
}

void CFile::Write(const void* buffer, UINT count)
{
    DWORD written = 0;
    if (!WriteFile(m_file.get(), buffer, count, &written, nullptr))
        Throw(GetLastError());
    if (written != count)
        Throw(ERROR_DISK_FULL);
}

ULONGLONG CFile::Seek(LONGLONG offset, SeekPosition from)
{
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(m_file.get(), distance, &position, DWORD(from)))
        Throw(GetLastError());
    return ULONGLONG(position.QuadPart);
}

ULONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_file.get(), &size))
        Throw(GetLastError());
    return ULONGLONG(size.QuadPart);
}

void CFile::SetLength(ULONGLONG length)
{
    Seek(LONGLONG(length), begin);
    if (!SetEndOfFile(m_file.get()))
        Throw(GetLastError());
}

void CFile::Flush()
{
    if (!FlushFileBuffers(m_file.get()))
        Throw(GetLastError());
}
