#include "TcpSrv.h"

namespace gatecfg {

namespace {

TControllerClient* ConnectionOf(calyx::TXSocketClient* client)
{
    auto* own = dynamic_cast<TTcpSrvClient*>(client);
    return own ? &own->Connection() : nullptr;
}

// A controller that loses power or its cable sends no FIN, and the tool never
// writes to an idle one: without probes its connection, and with it the only
// client slot, would stay taken for ever. Probes start after 10 s of silence
// and repeat every 2 s; the system drops the connection after 9 unanswered
// ones on Linux under Wine (10 on Windows), so within about half a minute,
// and the server frees the slot as for any close. A live controller's system
// answers the probes, so it is never dropped.
constexpr DWORD kKeepAliveTimeMs = 10000;
constexpr DWORD kKeepAliveIntervalMs = 2000;

void DetachEvents(TControllerClient& client)
{
    client.OnDataAvailable.Clear();
    client.OnLineLimitExceeded.Clear();
    client.OnBgException.Clear();
}

}  // namespace

// --- client ----------------------------------------------------------------

TTcpSrvClient::TTcpSrvClient(rtl::TComponent* owner) : calyx::TXSocketClient(owner)
{
    // Applied when the accepted connection is adopted.
    KeepAliveOnOff = calyx::wsKeepAliveOnCustom;
    KeepAliveTime = kKeepAliveTimeMs;
    KeepAliveInterval = kKeepAliveIntervalMs;
    OnDataAvailable = [this](rtl::TObject*, WORD error) {
        if (FConnection.OnDataAvailable.Assigned())
            FConnection.OnDataAvailable(&FConnection, error);
        else
            ReceiveStr();  // unread, the line would be offered again for ever
    };
    OnLineLimitExceeded = [this](rtl::TObject*, int rcvdLength, bool& clearData) {
        if (FConnection.OnLineLimitExceeded.Assigned())
            FConnection.OnLineLimitExceeded(&FConnection, rcvdLength, clearData);
    };
    OnBgException = [this](rtl::TObject*, rtl::Exception& e, bool& canClose) {
        if (FConnection.OnBgException.Assigned())
            FConnection.OnBgException(&FConnection, e, canClose);
    };
}

std::string TTcpSrvClient::TConnection::PeerAddr() const { return FSocket.GetPeerAddr(); }
std::string TTcpSrvClient::TConnection::PeerPort() const { return FSocket.GetPeerPort(); }
std::string TTcpSrvClient::TConnection::LocalAddr() const { return FSocket.GetXAddr(); }
std::string TTcpSrvClient::TConnection::LocalPort() const { return FSocket.GetXPort(); }

bool TTcpSrvClient::TConnection::Connected() const
{
    return FSocket.State() == calyx::wsConnected;
}

bool TTcpSrvClient::TConnection::InvalidState() const
{
    return FSocket.State() == calyx::wsInvalidState;
}

void TTcpSrvClient::TConnection::SetLineMode(bool value) { FSocket.SetLineMode(value); }
void TTcpSrvClient::TConnection::SetLineEdit(bool value) { FSocket.SetLineEdit(value); }
void TTcpSrvClient::TConnection::SetLineLimit(int value) { FSocket.SetLineLimit(value); }
std::string TTcpSrvClient::TConnection::ReceiveStr() { return FSocket.ReceiveStr(); }
void TTcpSrvClient::TConnection::SendStr(const std::string& data) { FSocket.SendStr(data); }
void TTcpSrvClient::TConnection::Close() { FSocket.Close(); }
void TTcpSrvClient::TConnection::CloseDelayed() { FSocket.CloseDelayed(); }

// --- server ----------------------------------------------------------------

TTcpSrv::TTcpSrv() : FSocket(rtl::Create<calyx::TXSocketServer>(nullptr))
{
    FSocket->SetName("XSocketServer1");
    FSocket->ClientClass = &calyx::XSocketClientClass<TTcpSrvClient>;
    FSocket->OnClientConnect = [this](rtl::TObject* sender, calyx::TXSocketClient* client, WORD error) {
        TControllerClient* connection = ConnectionOf(client);
        if (connection && OnClientConnect.Assigned())
            OnClientConnect(sender, connection, error);
    };
    FSocket->OnClientDisconnect = [this](rtl::TObject* sender, calyx::TXSocketClient* client, WORD error) {
        TControllerClient* connection = ConnectionOf(client);
        if (connection && OnClientDisconnect.Assigned())
            OnClientDisconnect(sender, connection, error);
    };
    FSocket->OnSessionClosed = [this](rtl::TObject* sender, WORD error) {
        if (OnSessionClosed.Assigned())
            OnSessionClosed(sender, error);
    };
    FSocket->OnBgException = [this](rtl::TObject* sender, rtl::Exception& e, bool& canClose) {
        if (OnBgException.Assigned())
            OnBgException(sender, e, canClose);
    };
}

TTcpSrv::~TTcpSrv()
{
    // The form that handles these events is being destroyed: the connections
    // closing now must not reach it.
    OnClientConnect.Clear();
    OnClientDisconnect.Clear();
    OnSessionClosed.Clear();
    OnBgException.Clear();
    for (int i = 0; i < ClientCount(); ++i)
        if (TControllerClient* client = Client(i))
            DetachEvents(*client);
    FSocket->Free();
}

void TTcpSrv::Configure(const TControllerServerSettings& settings)
{
    FSocket->SetProto(settings.Proto);
    FSocket->SetLocalAddr(settings.LocalAddr);
    FSocket->MultiThreaded = settings.MultiThreaded;
    FSocket->ReuseAddr = settings.ReuseAddr;
    FSocket->ListenBacklog = settings.ListenBacklog;
    FSocket->Banner = settings.Banner;
    FSocket->BannerTooBusy = settings.BannerTooBusy;
    FSocket->MaxClients = settings.MaxClients;
}

void TTcpSrv::SetProto(const std::string& proto) { FSocket->SetProto(proto); }
void TTcpSrv::SetAddr(const std::string& addr) { FSocket->SetAddr(addr); }
void TTcpSrv::SetPort(const std::string& port) { FSocket->SetPort(port); }

std::string TTcpSrv::Port() const
{
    return Listening() ? FSocket->GetXPort() : FSocket->Port();
}

bool TTcpSrv::Listening() const { return FSocket->State() == calyx::wsListening; }
bool TTcpSrv::Connected() const { return FSocket->State() == calyx::wsConnected; }
void TTcpSrv::Listen() { FSocket->Listen(); }
void TTcpSrv::CloseDelayed() { FSocket->CloseDelayed(); }
int TTcpSrv::ClientCount() const { return FSocket->ClientCount(); }

TControllerClient* TTcpSrv::Client(int index) const
{
    return ConnectionOf(FSocket->Client(index));
}

}  // namespace gatecfg
