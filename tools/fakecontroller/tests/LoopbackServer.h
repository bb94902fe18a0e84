// A one-connection TCP server on 127.0.0.1 port 0 standing in for the tool.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>

namespace fakecontroller {
namespace test {

inline constexpr unsigned kWaitMs = 20000;

class TinyServer {
public:
    TinyServer()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 5);
        int size = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~TinyServer()
    {
        CloseClient();
        closesocket(listener_);
        WSACleanup();
    }

    std::uint16_t Port() const { return port_; }

    bool Accept()
    {
        if (!Readable(listener_))
            return false;
        client_ = accept(listener_, nullptr, nullptr);
        return client_ != INVALID_SOCKET;
    }

    void Send(const std::string& bytes) { send(client_, bytes.data(), static_cast<int>(bytes.size()), 0); }

    // The next line with its CR LF, or what arrived before the wait ran out.
    std::string ReadLine()
    {
        for (;;) {
            const std::size_t lf = input_.find('\n');
            if (lf != std::string::npos) {
                std::string line = input_.substr(0, lf + 1);
                input_.erase(0, lf + 1);
                return line;
            }
            char buffer[512];
            if (!Readable(client_))
                return input_;
            const int got = recv(client_, buffer, sizeof buffer, 0);
            if (got <= 0)
                return input_;
            input_.append(buffer, static_cast<std::size_t>(got));
        }
    }

    // The next line that is not a keep-alive.
    std::string ReadReply()
    {
        std::string line;
        do
            line = ReadLine();
        while (line.find("PING") != std::string::npos);
        return line;
    }

    void CloseClient()
    {
        if (client_ != INVALID_SOCKET)
            closesocket(client_);
        client_ = INVALID_SOCKET;
    }

private:
    static bool Readable(SOCKET s)
    {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval wait = {kWaitMs / 1000, 0};
        return select(0, &set, nullptr, nullptr, &wait) == 1;
    }

    SOCKET listener_ = INVALID_SOCKET;
    SOCKET client_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
    std::string input_;
};

}  // namespace test
}  // namespace fakecontroller
