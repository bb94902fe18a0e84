#pragma once
// Test fixture of the socket component: starts the units, keeps WinSock
// loaded for plain peer sockets, pumps messages until a condition holds or a
// generous time-out passes, and records events in order.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Guarded.h"
#include "OptionRecorder.h"
#include "net/CalyxUnits.h"
#include "net/CalyxSslXSocket.h"

namespace xstest {

using namespace calyx;

// Pumps this thread's messages until cond() holds; false after the time-out.
bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs = 15000);
// Pumps until size() reaches target, for as long as it keeps growing: false
// once it stood still for stallMs. A transfer's verdict is then about a stall,
// not about how fast a loaded machine moves the data.
bool WaitForGrowth(const std::function<size_t()>& size, size_t target, DWORD stallMs = 60000);
// Pumps for a short while so that anything already queued is handled.
void Settle();

// A plain blocking-free WinSock socket on loopback, driven by the test as a
// peer of the component.
class TPlainPeer {
public:
    TPlainPeer();
    explicit TPlainPeer(SOCKET s) : S(s) {}
    TPlainPeer(TPlainPeer&& other) noexcept : S(other.S) { other.S = INVALID_SOCKET; }
    TPlainPeer& operator=(TPlainPeer&& other) noexcept;
    ~TPlainPeer();

    // Binds 127.0.0.1 port 0, listens and returns the port.
    u_short Listen();
    // Starts a connect to 127.0.0.1:port.
    void ConnectTo(u_short port);
    TPlainPeer AcceptWait();
    // Reads until count bytes arrived or the peer closed; returns what came.
    std::string RecvWait(size_t count);
    // Reads (dropping) until the peer closes or fails; returns the byte count.
    size_t DrainUntilClosed();
    // true once the peer's FIN arrived (recv returns 0) with nothing before it.
    bool WaitForEnd();
    void SendAll(const std::string& data);
    // Closes with a reset instead of a FIN.
    void Reset();
    u_short LocalPort() const;

    SOCKET S = INVALID_SOCKET;
};

// A port on loopback with nobody listening.
u_short UnusedPort();

struct XSocketTest : ::testing::Test {
    void SetUp() override;
    void TearDown() override;

    // A socket whose events are written to Log as "name:event:detail".
    TCustomSslXSocket* MakeSocket(const std::string& name);
    // The same for a socket made elsewhere, which the fixture then frees.
    TCustomSslXSocket* Record(TCustomSslXSocket* s, const std::string& name);
    // A socket the test frees itself: the fixture lets go of it.
    void Forget(TCustomXSocket* s);
    // A listener on 127.0.0.1 port 0 that accepts every connection into a new
    // recorded socket named "acc"; returns the port.
    u_short StartListener();
    // A recorded socket named "cli" that starts connecting to 127.0.0.1:port.
    TCustomXSocket* ConnectClient(u_short port);
    // A recorded "cli" connected to a plain peer of the test, which server
    // listens for and accepts.
    TCustomXSocket* ConnectToPeer(TPlainPeer& server, TPlainPeer& peer);
    // A client connected to a fresh listener, with the accepted side.
    void ConnectPair(TCustomXSocket*& client, TCustomXSocket*& accepted);
    int Count(const std::string& entry) const;

    TCustomXSocket* Listener = nullptr;
    std::vector<std::string> Log;
    std::vector<TCustomXSocket*> Sockets;
    std::vector<TCustomXSocket*> Accepted;
    std::vector<std::string> Received;  // text read by the recorders' handlers
};

}  // namespace xstest
