#pragma once
// Debian's openssl command (or another TLS command, such as GnuTLS's
// gnutls-serv) as the independent TLS peer of a test: a Linux
// process that Wine starts through the launcher ssl-peer.py, which bounds its
// run time and is driven through files in a directory of its own (Wine gives
// no handle of a Unix process to wait on or to kill).
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

namespace ssltest {

// The Unix path of a file made by the certificate script, for openssl's
// arguments.
std::string UnixCertPath(const std::string& name);

// Arguments of the Python peer tests/slow-reader.py, a TOpenSslPeer of the
// program "python3": it connects to our port (else listens on a free one),
// speaks TLS in mode "tls" or "tls-default", and starts reading
// delaySeconds after its connection is up.
std::vector<std::string> SlowReaderArgs(bool connects, u_short port, int delaySeconds, const std::string& mode);

class TOpenSslPeer {
public:
    // Starts the program ("openssl" unless named) with the arguments; one
    // that holds "{port}" gets a free loopback port in its place. The
    // command is killed after maxSeconds at the latest.
    explicit TOpenSslPeer(const std::vector<std::string>& args, int maxSeconds = 60,
                          const std::string& program = "openssl");
    // Kills the command if it still runs and waits (bounded) for its end.
    ~TOpenSslPeer();
    TOpenSslPeer(const TOpenSslPeer&) = delete;
    TOpenSslPeer& operator=(const TOpenSslPeer&) = delete;

    // Waits, pumping messages, until the command listens on its port (or,
    // without one, has started); false when it ended first or the time ran out.
    bool Started();
    u_short Port() const noexcept { return FPort; }

    // Hands the bytes to the command's input.
    void Send(const std::string& data);
    // Closes the command's input after what was sent.
    void EndInput();
    // Kills the command: its connections end without a close notify.
    void Kill();
    // Waits, pumping messages, for the command's end.
    bool WaitForExit(DWORD timeoutMs = 15000);
    bool Exited() const;

    // What the command has written so far.
    std::string Output() const;
    std::string Errors() const;
    // Waits, pumping messages, until the output holds at least size bytes;
    // false once it has not grown for stallMs.
    bool WaitForOutput(size_t size, DWORD stallMs = 30000);

private:
    std::string File(const char* name) const;

    std::string FDir;  // Windows path, with a trailing backslash
    int FInputs = 0;
    u_short FPort = 0;
};

}  // namespace ssltest
