#pragma once
// A file opened as a byte stream; open and create failures raise the
// stream's own exceptions.
#include <windows.h>

#include <cstdint>
#include <string>

#include "rtl/Exception.h"
#include "rtl/Owner.h"

namespace rtl {

class EFileStreamError : public Exception {
public:
    using Exception::Exception;
};
class EFCreateError : public EFileStreamError {
public:
    using EFileStreamError::EFileStreamError;
};
class EFOpenError : public EFileStreamError {
public:
    using EFileStreamError::EFileStreamError;
};
class EWriteError : public EFileStreamError {
public:
    using EFileStreamError::EFileStreamError;
};

enum TFileMode : unsigned {
    fmCreate = 0xFF00,  // create or truncate, read and write
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyRead = 0x0030,
    fmShareDenyNone = 0x0040,
};

class TFileStream {
public:
    TFileStream(const std::string& fileName, unsigned mode);
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    const std::string& FileName() const noexcept { return FFileName; }
    void Write(const void* data, uint32_t count);
    uint32_t Read(void* data, uint32_t count);
    int64_t Size() const;
    void SetSize(int64_t size);
    int64_t SeekToEnd();

private:
    std::string FFileName;
    THandleOwner FHandle;
};

}  // namespace rtl
