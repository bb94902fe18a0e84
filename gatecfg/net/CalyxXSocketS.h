#pragma once
// The socket server: a listening socket that accepts every connection into a
// client socket of a configurable class, which it owns, numbers, names and
// greets with a banner. It enforces a client limit and tells the application
// when a client has connected and when it has gone, freeing the client itself
// from a posted notice, never inside the client's own event code.
#include <string>
#include <vector>

#include "net/CalyxXSocketSync.h"

namespace calyx {

class TCustomXSocketServer;

class TXSocketClient : public TXSocket {
public:
    explicit TXSocketClient(rtl::TComponent* owner) : TXSocket(owner) {}

    std::string Banner;
    TCustomXSocketServer* Server = nullptr;
    int ClientId = 0;

    // Banner + LineEnd, unless Banner is empty.
    virtual void SendBanner();
    // Cached when the connection was adopted, so readable after it closed.
    std::string GetPeerAddr() override { return FPeerAddr; }
    std::string GetPeerPort() override { return FPeerPort; }
    void Dup(SOCKET newHSocket) override;

protected:
    ~TXSocketClient() override = default;
    void TriggerSessionClosed(WORD error) override;

private:
    bool FClosedNotified = false;
    std::string FPeerAddr;
    std::string FPeerPort;
};

// Makes a client object of some TXSocketClient class owned by the server.
using TXSocketClientClass = TXSocketClient* (*)(rtl::TComponent* owner);

template <class T>
TXSocketClient* XSocketClientClass(rtl::TComponent* owner)
{
    return rtl::Create<T>(owner);
}

using TClientEvent = rtl::TEvent<rtl::TObject*, TXSocketClient*>;
using TClientConnectEvent = rtl::TEvent<rtl::TObject*, TXSocketClient*, WORD>;

constexpr int XSOCKET_MAX_CLIENT_ID = 8388607;

class TCustomXSocketServer : public TXSocket {
public:
    explicit TCustomXSocketServer(rtl::TComponent* owner) : TXSocket(owner) {}

    TXSocketClientClass ClientClass = &XSocketClientClass<TXSocketClient>;
    std::string Banner = "Welcome to Calyx TcpSrv";
    std::string BannerTooBusy = "Sorry, too many clients";
    int MaxClients = 0;  // 0: no limit
    int ClientCounter = 0;
    UINT ClientClosedMsg() const noexcept { return FClientClosedMsg; }

    TClientEvent OnClientCreate;
    TClientConnectEvent OnClientConnect;
    TClientConnectEvent OnClientDisconnect;

    virtual int ClientCount();
    // None when index is out of range.
    virtual TXSocketClient* Client(int index);
    bool IsClient(const TXSocketClient* client) const;
    // Raises OnClientDisconnect with 10053 and frees the client at once.
    virtual void Disconnect(TXSocketClient* client);
    virtual void DisconnectAll();

    void WndProc(TMessage& msg) override;
    int MsgHandlersCount() override;
    void AllocateMsgHandlers() override;
    void FreeMsgHandlers() override;
    void MessageDiscarded(const TMessage& msg) override;
    void BeforeDestruction() override;

protected:
    ~TCustomXSocketServer() override = default;
    void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

    virtual void TriggerClientCreate(TXSocketClient* client);
    virtual void TriggerClientConnect(TXSocketClient* client, WORD error);
    virtual void TriggerClientDisconnect(TXSocketClient* client, WORD error);
    virtual void WMClientClosed(TMessage& msg);
    void TriggerSessionAvailable(WORD error) override;

private:
    TXSocketClient* CreateClient();
    void DropPendingConnection();
    void ReportLostConnection(rtl::Exception& e);

    std::vector<TXSocketClient*> FClients;
    UINT FClientClosedMsg = 0;
};

class TXSocketServer : public TCustomXSocketServer {
public:
    explicit TXSocketServer(rtl::TComponent* owner) : TCustomXSocketServer(owner) {}

protected:
    ~TXSocketServer() override = default;
};

// Client-closed notices posted and not yet handled or dropped.
int XSocketClientNoticeCount();

}  // namespace calyx
