#include "TestClients.h"

namespace logpeer_test {

bool TestClient::ReadExact(size_t size, Bytes& out, DWORD timeoutMs)
{
    out.resize(size);
    for (size_t got = 0; got < size;) {
        size_t n = ReadSome(out.data() + got, size - got, timeoutMs);
        if (n == 0)
            return false;
        got += n;
    }
    return true;
}

bool TestClient::ReadFrame(Bytes& payload, std::string& why, DWORD timeoutMs)
{
    Bytes header;
    if (!ReadExact(8, header, timeoutMs)) {
        why = timedOut_ ? "timed out" : "closed";
        return false;
    }
    if (header[0] != 'M' || header[1] != 'S' || header[2] != 'G' || header[3] != '.') {
        why = "bad magic " + logpeer::HexText(header);
        return false;
    }
    // Independent of the peer's own checksum code: all four words and the stored sum add to 0xFFFF.
    uint32_t sum = 0;
    for (int i = 0; i < 8; i += 2)
        sum += logpeer::GetU16(&header[i]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    if (sum != 0xFFFF) {
        why = "bad checksum " + logpeer::HexText(header);
        return false;
    }
    if (!ReadExact(logpeer::GetU16(&header[4]), payload, timeoutMs)) {
        why = "payload cut short";
        return false;
    }
    return true;
}

bool TestClient::ReadsEnd(DWORD timeoutMs)
{
    uint8_t b;
    return ReadSome(&b, 1, timeoutMs) == 0 && !timedOut_;
}

PipeClient::PipeClient(const std::string& path) : event_(win32::MakeEvent())
{
    pipe_.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                            nullptr));
    if (!pipe_) {
        openError_ = GetLastError();
        pipe_.reset();
    }
}

bool PipeClient::Write(const Bytes& bytes)
{
    OVERLAPPED ov{};
    ov.hEvent = event_.get();
    ResetEvent(event_.get());
    DWORD n = 0;
    if (!WriteFile(pipe_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &ov) &&
        GetLastError() != ERROR_IO_PENDING)
        return false;
    return GetOverlappedResult(pipe_.get(), &ov, &n, TRUE) && n == bytes.size();
}

size_t PipeClient::ReadSome(uint8_t* data, size_t size, DWORD timeoutMs)
{
    timedOut_ = false;
    OVERLAPPED ov{};
    ov.hEvent = event_.get();
    ResetEvent(event_.get());
    DWORD n = 0;
    if (!ReadFile(pipe_.get(), data, static_cast<DWORD>(size), nullptr, &ov) && GetLastError() != ERROR_IO_PENDING)
        return 0;
    if (WaitForSingleObject(event_.get(), timeoutMs) != WAIT_OBJECT_0) {
        timedOut_ = true;
        CancelIo(pipe_.get());
    }
    if (!GetOverlappedResult(pipe_.get(), &ov, &n, TRUE))
        return 0;
    return n;
}

TcpClient::TcpClient(uint16_t port)
{
    socket_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (connect(socket_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        connectError_ = WSAGetLastError();
        socket_.reset();
    }
}

bool TcpClient::Write(const Bytes& bytes)
{
    return send(socket_.get(), reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0) ==
           static_cast<int>(bytes.size());
}

size_t TcpClient::ReadSome(uint8_t* data, size_t size, DWORD timeoutMs)
{
    timedOut_ = false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_.get(), &readable);
    timeval tv{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &tv) != 1) {
        timedOut_ = true;
        return 0;
    }
    int n = recv(socket_.get(), reinterpret_cast<char*>(data), static_cast<int>(size), 0);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

}  // namespace logpeer_test
