// HexViewSaveText: the text through a buffered sink into a Win32 file.
#include "HexText.h"

#include <windows.h>

#include "win32/Handles.h"

#include <cassert>
#include <cstring>

namespace {

// Collects the text in large pieces, so that a full ring costs a few writes
// rather than one per line. The first failure's system error code is kept.
class FileSink final : public HexTextSink {
public:
    explicit FileSink(const char* path)
        : file_(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {
        if (!file_)
            error_ = GetLastError();
    }

    bool Write(const char* data, size_t size) override {
        if (error_ != ERROR_SUCCESS)
            return false;
        assert(size <= sizeof(buffer_));
        if (size > sizeof(buffer_) - filled_ && !Flush())
            return false;
        std::memcpy(buffer_ + filled_, data, size);
        filled_ += size;
        return true;
    }

    bool Flush() {
        if (error_ != ERROR_SUCCESS)
            return false;
        DWORD written = 0;
        if (filled_ != 0 &&
            (!WriteFile(file_.get(), buffer_, static_cast<DWORD>(filled_), &written, nullptr) ||
             written != filled_)) {
            error_ = GetLastError();
            if (error_ == ERROR_SUCCESS)
                error_ = ERROR_WRITE_FAULT;
            return false;
        }
        filled_ = 0;
        return true;
    }

    DWORD error() const { return error_; }

private:
    win32::UniqueHandle file_;
    DWORD error_ = ERROR_SUCCESS;
    size_t filled_ = 0;
    char buffer_[32768];
};

}  // namespace

bool HexViewSaveText(const HexDumpModel& model, const char* path) {
    DWORD error;
    {
        FileSink sink(path);
        if (HexViewWriteText(model, sink) && sink.Flush())
            return true;
        error = sink.error();
    }
    SetLastError(error);
    return false;
}
