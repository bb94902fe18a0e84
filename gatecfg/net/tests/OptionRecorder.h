#pragma once
// Records the socket options that components hand to WinSock.
#include <string>
#include <vector>

namespace xstest {

// While it lives, setsockopt, WSAIoctl and shutdown are replaced by recorders
// that write each call to Calls and pass it on: "level/name=value" (linger
// as {onoff,linger}, IP-level addresses dotted), "ioctl code=in,..." and
// "shutdown how". IP-level options (multicast, which may reach beyond
// loopback) and WSAIoctl are only recorded.
class TOptionRecorder {
public:
    TOptionRecorder();
    ~TOptionRecorder();
    TOptionRecorder(const TOptionRecorder&) = delete;
    TOptionRecorder& operator=(const TOptionRecorder&) = delete;

    static std::vector<std::string> Calls;
};

}  // namespace xstest
