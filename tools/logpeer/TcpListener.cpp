#include "TcpListener.h"

namespace logpeer {

TcpListener::~TcpListener() { Stop(); }

bool TcpListener::Start(uint16_t port, bool reuse, int& error)
{
    if (thread_.joinable())
        return true;
    win32::UniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    auto fail = [&] {
        error = WSAGetLastError();
        return false;
    };
    if (!s)
        return fail();
    if (reuse) {
        BOOL on = TRUE;
        setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (bind(s.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return fail();
    if (listen(s.get(), SOMAXCONN) != 0)
        return fail();
    int len = sizeof addr;
    if (getsockname(s.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return fail();
    port_ = ntohs(addr.sin_port);
    stop_ = win32::MakeEvent();
    accept_ = win32::MakeEvent();
    if (WSAEventSelect(s.get(), accept_.get(), FD_ACCEPT) != 0)
        return fail();
    socket_ = std::move(s);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TcpListener::Stop()
{
    if (!thread_.joinable())
        return;
    SetEvent(stop_.get());
    thread_.join();
    socket_.reset();
}

void TcpListener::Run()
{
    HANDLE waits[2] = {stop_.get(), accept_.get()};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        WSANETWORKEVENTS events;
        WSAEnumNetworkEvents(socket_.get(), accept_.get(), &events);
        for (;;) {
            win32::UniqueSocket s(accept(socket_.get(), nullptr, nullptr));
            if (!s)
                break;  // WSAEWOULDBLOCK: none left
            // The accepted socket inherits the event selection: drop it and go back to blocking mode.
            WSAEventSelect(s.get(), nullptr, 0);
            u_long blocking = 0;
            ioctlsocket(s.get(), FIONBIO, &blocking);
            BOOL on = TRUE;  // a frame cut into pieces must leave as pieces
            setsockopt(s.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
            onAccept_(std::move(s));
        }
    }
}

}  // namespace logpeer
