#pragma once
// Fixture of the SSL socket tests: contexts with the made certificates, SSL
// clients and an SSL server of the socket library on loopback, and a record
// of their events in order.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "OpenSslGenuineFixture.h"
#include "XSocketFixture.h"
#include "net/CalyxSslContext.h"
#include "net/CalyxXSocketS.h"

namespace ssltest {

using xstest::Settle;
using xstest::WaitFor;
using xstest::WaitForGrowth;

struct SslSocketTest : ::testing::Test {
    void SetUp() override;
    void TearDown() override;

    // A line-mode SSL client of the client context, recorded under the name;
    // Connect starts it towards 127.0.0.1:port.
    TXSocket* MakeClient(const std::string& name);
    void Connect(TXSocket* client, u_short port);
    // An SSL server of the server context on 127.0.0.1 port 0 (ServerPort),
    // whose clients are recorded as "srv1", "srv2", ... in line mode, and
    // then handed to OnServerClient when it is set.
    TXSocketServer* StartServer();
    std::function<void(TXSocketClient*)> OnServerClient;
    // The events of the socket go to Log as "name:event:detail"; the text
    // it receives is appended to Received[name].
    void Record(TCustomSslXSocket* s, const std::string& name);
    // The server's client that was accepted n-th (from 1), or none.
    TXSocketClient* ServerClient(int n) const;
    bool Logged(const std::string& entry) const;
    int Count(const std::string& entry) const;
    // A socket the test frees itself: the fixture lets go of it.
    void Forget(TCustomXSocket* s);

    TSslContext* ServerContext = nullptr;
    TSslContext* ClientContext = nullptr;
    TXSocketServer* Server = nullptr;
    u_short ServerPort = 0;
    TLogRecorder Errors{LogOptionSet(loSslErr)};
    std::vector<std::string> Log;
    std::map<std::string, std::string> Received;
    std::vector<TCustomXSocket*> Sockets;
};

}  // namespace ssltest
