#include "rtl/FileStream.h"

#include "rtl/SysUtils.h"

namespace rtl {

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FFileName(fileName)
{
    if (mode == fmCreate) {
        FHandle.Reset(CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!FHandle)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " +
                                SysErrorMessage(GetLastError()));
        return;
    }
    static const DWORD access[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    switch (mode & 0xF0) {
    case fmShareExclusive: share = 0; break;
    case fmShareDenyWrite: share = FILE_SHARE_READ; break;
    case fmShareDenyRead: share = FILE_SHARE_WRITE; break;
    default: break;
    }
    FHandle.Reset(CreateFileA(fileName.c_str(), access[(mode & 3) < 3 ? (mode & 3) : 2], share, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FHandle)
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + SysErrorMessage(GetLastError()));
}

void TFileStream::Write(const void* data, uint32_t count)
{
    DWORD written = 0;
    if (count && (!WriteFile(FHandle.Get(), data, count, &written, nullptr) || written != count))
        throw EWriteError("Stream write error");
}

uint32_t TFileStream::Read(void* data, uint32_t count)
{
    DWORD read = 0;
    if (!ReadFile(FHandle.Get(), data, count, &read, nullptr))
        return 0;
    return read;
}

int64_t TFileStream::Size() const
{
    LARGE_INTEGER size;
    return GetFileSizeEx(FHandle.Get(), &size) ? size.QuadPart : -1;
}

void TFileStream::SetSize(int64_t size)
{
    LARGE_INTEGER pos;
    pos.QuadPart = size;
    if (!SetFilePointerEx(FHandle.Get(), pos, nullptr, FILE_BEGIN) || !SetEndOfFile(FHandle.Get()))
        throw EFileStreamError("Stream size error: " + SysErrorMessage(GetLastError()));
}

int64_t TFileStream::SeekToEnd()
{
    LARGE_INTEGER zero, pos;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(FHandle.Get(), zero, &pos, FILE_END))
        return -1;
    return pos.QuadPart;
}

}  // namespace rtl
