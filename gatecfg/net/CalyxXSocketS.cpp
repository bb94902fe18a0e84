#include "net/CalyxXSocketS.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "net/CalyxLibrary.h"
#include "net/CalyxWinSock.h"
#include "rtl/SysUtils.h"

namespace calyx {

namespace {

std::atomic<int> gNoticeCount{0};

// What a gone client leaves for its server: the object and its number, so
// that a notice for an object freed meanwhile (or reused) is recognised.
struct TClientClosedNotice {
    TClientClosedNotice(TXSocketClient* client, int clientId) : Client(client), ClientId(clientId)
    {
        ++gNoticeCount;
    }
    ~TClientClosedNotice() { --gNoticeCount; }
    TClientClosedNotice(const TClientClosedNotice&) = delete;
    TClientClosedNotice& operator=(const TClientClosedNotice&) = delete;

    TXSocketClient* Client;
    int ClientId;
};

std::unique_ptr<TClientClosedNotice> TakeNotice(const TMessage& msg)
{
    return std::unique_ptr<TClientClosedNotice>(reinterpret_cast<TClientClosedNotice*>(msg.LParam));
}

}  // namespace

int XSocketClientNoticeCount()
{
    return gNoticeCount;
}

// --- client ----------------------------------------------------------------

void TXSocketClient::SendBanner()
{
    if (!Banner.empty())
        SendStr(Banner + LineEnd());
}

void TXSocketClient::Dup(SOCKET newHSocket)
{
    const TCxLifeGuard life(this);
    TXSocket::Dup(newHSocket);
    if (!life.InService())
        return;
    FPeerAddr = TXSocket::GetPeerAddr();
    if (life.InService())
        FPeerPort = TXSocket::GetPeerPort();
}

void TXSocketClient::TriggerSessionClosed(WORD error)
{
    if (!FClosedNotified && Server) {
        FClosedNotified = true;
        auto notice = std::make_unique<TClientClosedNotice>(this, ClientId);
        if (lib::PostMessageA(Server->Handle(), Server->ClientClosedMsg(), WPARAM(error),
                              reinterpret_cast<LPARAM>(notice.get())))
            notice.release();
    }
    TXSocket::TriggerSessionClosed(error);
}

// --- server ----------------------------------------------------------------

int TCustomXSocketServer::ClientCount()
{
    return int(FClients.size());
}

TXSocketClient* TCustomXSocketServer::Client(int index)
{
    if (index < 0 || index >= int(FClients.size()))
        return nullptr;
    return FClients[size_t(index)];
}

bool TCustomXSocketServer::IsClient(const TXSocketClient* client) const
{
    return std::find(FClients.begin(), FClients.end(), client) != FClients.end();
}

void TCustomXSocketServer::Notification(rtl::TComponent* component, rtl::TOperation operation)
{
    TXSocket::Notification(component, operation);
    auto* client = dynamic_cast<TXSocketClient*>(component);
    if (!client)
        return;
    if (operation == rtl::TOperation::opInsert) {
        if (!IsClient(client))
            FClients.push_back(client);
    } else {
        FClients.erase(std::remove(FClients.begin(), FClients.end(), client), FClients.end());
    }
}

void TCustomXSocketServer::TriggerClientCreate(TXSocketClient* client)
{
    if (OnClientCreate.Assigned())
        OnClientCreate(this, client);
}

void TCustomXSocketServer::TriggerClientConnect(TXSocketClient* client, WORD error)
{
    if (OnClientConnect.Assigned())
        OnClientConnect(this, client, error);
}

void TCustomXSocketServer::TriggerClientDisconnect(TXSocketClient* client, WORD error)
{
    if (OnClientDisconnect.Assigned())
        OnClientDisconnect(this, client, error);
}

// The client of a pending connection, or none when its creation event freed
// it (or the server); without a client the connection is dropped.
TXSocketClient* TCustomXSocketServer::CreateClient()
{
    const TCxLifeGuard life(this);
    TXSocketClient* client = nullptr;
    try {
        client = ClientClass(this);
        client->ClientId = ClientCounter;
        TriggerClientCreate(client);
    } catch (...) {
        // The half-made client goes; the first failure is the one reported.
        if (life.InService() && IsClient(client))
            client->Free();
        if (life.InService())
            DropPendingConnection();
        throw;
    }
    if (!life.InService())
        return nullptr;
    if (!IsClient(client)) {
        DropPendingConnection();
        return nullptr;
    }
    return client;
}

// A pending connection would stay queued: it is taken and dropped. That may
// fail in turn (the peer is gone), which adds nothing to report.
void TCustomXSocketServer::DropPendingConnection()
{
    try {
        const SOCKET h = Accept();
        if (h != INVALID_SOCKET)
            winsock::closesocket(h);
    } catch (...) {
    }
}

void TCustomXSocketServer::TriggerSessionAvailable(WORD error)
{
    // Every handler below may free the server (its clients going with it)
    // or the new client: each step after one asks first.
    const TCxLifeGuard life(this);
    TXSocket::TriggerSessionAvailable(error);
    if (error != 0 || !life.InService())
        return;
    // After the wrap a number (and so a name) may still belong to a client
    // that lives on: skip it, there are fewer clients than numbers.
    std::string clientName;
    do {
        if (ClientCounter >= XSOCKET_MAX_CLIENT_ID)
            ClientCounter = 0;
        ++ClientCounter;
        clientName = Name() + "Client" + lib::IntToStr(ClientCounter);
    } while (FindComponent(clientName));
    TXSocketClient* client = CreateClient();
    if (!client)
        return;
    const auto clientLives = [&] { return life.InService() && IsClient(client); };
    client->SetName(clientName);
    client->Banner = Banner;
    client->SetCxLogger(CxLogger());
    client->Server = this;
    // A client that got no connection would stay listed (and counted against
    // MaxClients) for ever: it goes with the failure.
    try {
        const SOCKET handle = Accept();
        if (handle != INVALID_SOCKET && clientLives())
            client->Dup(handle);
    } catch (rtl::Exception& e) {
        if (clientLives())
            client->Free();
        if (life.InService())
            ReportLostConnection(e);
        return;
    } catch (...) {
        if (clientLives())
            client->Free();
        throw;
    }
    if (!clientLives())
        return;
    if (client->State() != wsConnected) {
        client->Free();
        return;
    }
    TriggerClientConnect(client, error);
    if (!clientLives() || client->State() != wsConnected)
        return;
    if (MaxClients > 0 && ClientCount() > MaxClients) {
        client->Banner = BannerTooBusy;
        client->SendBanner();
        if (clientLives())
            client->Close();
    } else {
        client->SendBanner();
    }
}

// A connection lost before the client could take it (a peer that reset
// before its accept, a peer address that cannot be read) goes to the
// server's error path: OnError when assigned, else the background event.
// It is the newcomer's failure and the listener is sound, so CanClose starts
// False there and the server keeps serving unless the handler asks to close.
void TCustomXSocketServer::ReportLostConnection(rtl::Exception& e)
{
    if (OnError.Assigned())
        TriggerError();
    else
        ReportBackGroundException(e, false);
}

void TCustomXSocketServer::WndProc(TMessage& msg)
{
    if (msg.Msg == 0 || msg.Msg != FClientClosedMsg) {
        TXSocket::WndProc(msg);
        return;
    }
    HandleGuarded([&] { WMClientClosed(msg); });
}

void TCustomXSocketServer::WMClientClosed(TMessage& msg)
{
    const auto notice = TakeNotice(msg);
    TXSocketClient* client = notice->Client;
    // The handler may have disconnected (freed) the client itself, or freed
    // the server.
    const TCxLifeGuard life(this);
    const auto stillListed = [&] {
        return life.InService() && IsClient(client) && client->ClientId == notice->ClientId;
    };
    if (!stillListed())
        return;
    try {
        TriggerClientDisconnect(client, WORD(msg.WParam));
    } catch (...) {
        if (stillListed())
            client->Free();
        throw;
    }
    if (stillListed())
        client->Free();
}

void TCustomXSocketServer::Disconnect(TXSocketClient* client)
{
    auto notice = std::make_unique<TClientClosedNotice>(client, client ? client->ClientId : 0);
    TMessage msg{FClientClosedMsg, WSAECONNABORTED, reinterpret_cast<LPARAM>(notice.release()), 0};
    WMClientClosed(msg);
}

void TCustomXSocketServer::DisconnectAll()
{
    const TCxLifeGuard life(this);
    while (life.InService() && ClientCount() > 0)
        Disconnect(Client(0));
}

int TCustomXSocketServer::MsgHandlersCount()
{
    return TXSocket::MsgHandlersCount() + 1;
}

void TCustomXSocketServer::AllocateMsgHandlers()
{
    TXSocket::AllocateMsgHandlers();
    FClientClosedMsg = AllocateMsgId();
}

void TCustomXSocketServer::FreeMsgHandlers()
{
    ReleaseMsgId(FClientClosedMsg);
    TXSocket::FreeMsgHandlers();
}

void TCustomXSocketServer::MessageDiscarded(const TMessage& msg)
{
    if (msg.Msg == FClientClosedMsg)
        TakeNotice(msg);
    else
        TXSocket::MessageDiscarded(msg);
}

void TCustomXSocketServer::BeforeDestruction()
{
    const std::vector<TXSocketClient*> clients = FClients;
    for (auto it = clients.rbegin(); it != clients.rend(); ++it) {
        try {
            (*it)->Free();
        } catch (...) {
        }
    }
    TXSocket::BeforeDestruction();
}

}  // namespace calyx
