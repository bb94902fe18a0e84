#include "Stream.h"

namespace logpeer {

namespace {

class PipeStream : public Stream {
public:
    explicit PipeStream(win32::UniqueHandle pipe) : pipe_(std::move(pipe)) {}

    bool BeginRead(void* data, DWORD size, OVERLAPPED* ov, DWORD& error) override
    {
        if (ReadFile(pipe_.get(), data, size, nullptr, ov))
            return true;
        return Pending(error);
    }
    bool BeginWrite(const void* data, DWORD size, OVERLAPPED* ov, DWORD& error) override
    {
        if (WriteFile(pipe_.get(), data, size, nullptr, ov))
            return true;
        return Pending(error);
    }
    bool Finish(OVERLAPPED* ov, bool wait, DWORD& bytes, DWORD& error) override
    {
        bytes = 0;
        if (GetOverlappedResult(pipe_.get(), ov, &bytes, wait))
            return true;
        error = GetLastError();
        return false;
    }
    void Cancel() override { CancelIo(pipe_.get()); }
    // No FlushFileBuffers (it blocks while the monitor does not read) and no DisconnectNamedPipe
    // (it discards what the monitor has not read yet): closing keeps written bytes readable.
    void Close() override { pipe_.reset(); }

private:
    static bool Pending(DWORD& error)
    {
        error = GetLastError();
        return error == ERROR_IO_PENDING;
    }
    win32::UniqueHandle pipe_;
};

class SocketStream : public Stream {
public:
    explicit SocketStream(win32::UniqueSocket socket) : socket_(std::move(socket)) {}

    bool BeginRead(void* data, DWORD size, OVERLAPPED* ov, DWORD& error) override
    {
        WSABUF buf{size, static_cast<char*>(data)};
        DWORD flags = 0;
        if (WSARecv(socket_.get(), &buf, 1, nullptr, &flags, ov, nullptr) == 0)
            return true;
        return Pending(error);
    }
    bool BeginWrite(const void* data, DWORD size, OVERLAPPED* ov, DWORD& error) override
    {
        WSABUF buf{size, static_cast<char*>(const_cast<void*>(data))};
        if (WSASend(socket_.get(), &buf, 1, nullptr, 0, ov, nullptr) == 0)
            return true;
        return Pending(error);
    }
    bool Finish(OVERLAPPED* ov, bool wait, DWORD& bytes, DWORD& error) override
    {
        bytes = 0;
        DWORD flags = 0;
        if (WSAGetOverlappedResult(socket_.get(), ov, &bytes, wait, &flags))
            return true;
        error = static_cast<DWORD>(WSAGetLastError());
        return false;
    }
    void Cancel() override { CancelIo(reinterpret_cast<HANDLE>(socket_.get())); }
    void Close() override
    {
        if (socket_)
            shutdown(socket_.get(), SD_SEND);
        socket_.reset();
    }

private:
    static bool Pending(DWORD& error)
    {
        error = static_cast<DWORD>(WSAGetLastError());
        return error == WSA_IO_PENDING;
    }
    win32::UniqueSocket socket_;
};

}  // namespace

std::unique_ptr<Stream> MakePipeStream(win32::UniqueHandle pipe)
{
    return std::make_unique<PipeStream>(std::move(pipe));
}
std::unique_ptr<Stream> MakeSocketStream(win32::UniqueSocket socket)
{
    return std::make_unique<SocketStream>(std::move(socket));
}

}  // namespace logpeer
