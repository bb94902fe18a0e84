// Listens on 127.0.0.1 and hands every accepted socket on.
#pragma once

#include <functional>
#include <thread>

#include "win32/Handles.h"
#include "win32/UniqueSocket.h"

namespace logpeer {

class TcpListener {
public:
    using AcceptFn = std::function<void(win32::UniqueSocket socket)>;
    explicit TcpListener(AcceptFn onAccept) : onAccept_(std::move(onAccept)) {}
    ~TcpListener();  // Stop()
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Port 0 picks a free one; port() tells which. `reuse` allows binding a port that closed
    // connections still hold. False with the WinSock error otherwise.
    bool Start(uint16_t port, bool reuse, int& error);
    void Stop();
    uint16_t port() const { return port_; }

private:
    void Run();

    AcceptFn onAccept_;
    win32::UniqueSocket socket_;
    win32::UniqueHandle stop_, accept_;
    uint16_t port_ = 0;
    std::thread thread_;
};

}  // namespace logpeer
