// Monitor ends written straight on Win32 and WinSock, with time-outs so a fault fails a test
// instead of hanging it.
#pragma once

#include <string>

#include "Bytes.h"
#include "win32/Handles.h"
#include "win32/UniqueSocket.h"

namespace logpeer_test {

using logpeer::Bytes;

class TestClient {
public:
    virtual ~TestClient() = default;
    virtual bool Write(const Bytes& bytes) = 0;
    // Some bytes (at most `size`); 0 when the other end closed or on time-out (then timedOut()).
    virtual size_t ReadSome(uint8_t* data, size_t size, DWORD timeoutMs) = 0;
    bool timedOut() const { return timedOut_; }

    bool ReadExact(size_t size, Bytes& out, DWORD timeoutMs = 10000);
    // One frame's payload, checking magic and header checksum; false with `why`.
    bool ReadFrame(Bytes& payload, std::string& why, DWORD timeoutMs = 10000);
    // True when the other end closes without sending anything more.
    bool ReadsEnd(DWORD timeoutMs = 10000);

protected:
    bool timedOut_ = false;
};

class PipeClient : public TestClient {
public:
    explicit PipeClient(const std::string& path);
    bool ok() const { return static_cast<bool>(pipe_); }
    DWORD openError() const { return openError_; }
    bool Write(const Bytes& bytes) override;
    size_t ReadSome(uint8_t* data, size_t size, DWORD timeoutMs) override;

private:
    win32::UniqueHandle pipe_;
    win32::UniqueHandle event_;
    DWORD openError_ = 0;
};

class TcpClient : public TestClient {
public:
    explicit TcpClient(uint16_t port);
    bool ok() const { return static_cast<bool>(socket_); }
    int connectError() const { return connectError_; }
    bool Write(const Bytes& bytes) override;
    size_t ReadSome(uint8_t* data, size_t size, DWORD timeoutMs) override;

private:
    win32::UniqueSocket socket_;
    int connectError_ = 0;
};

}  // namespace logpeer_test
