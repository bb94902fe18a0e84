// The socket server of the main form: a TXSocketServer whose clients are
// TTcpSrvClient objects, plugged in behind TControllerServer.
#pragma once

#include <string>

#include "ControllerServer.h"
#include "net/CalyxXSocketS.h"

namespace gatecfg {

// A controller's connection. The socket keeps its own events; they are handed
// on to the events of Connection(), the face the form sees, which also holds
// RcvdLine, the line being handled.
class TTcpSrvClient : public calyx::TXSocketClient {
public:
    explicit TTcpSrvClient(rtl::TComponent* owner);

    TControllerClient& Connection() noexcept { return FConnection; }

protected:
    ~TTcpSrvClient() override = default;

private:
    class TConnection final : public TControllerClient {
    public:
        explicit TConnection(TTcpSrvClient& socket) : FSocket(socket) {}

        std::string PeerAddr() const override;
        std::string PeerPort() const override;
        std::string LocalAddr() const override;
        std::string LocalPort() const override;
        bool Connected() const override;
        bool InvalidState() const override;
        void SetLineMode(bool value) override;
        void SetLineEdit(bool value) override;
        void SetLineLimit(int value) override;
        std::string ReceiveStr() override;
        void SendStr(const std::string& data) override;
        void Close() override;
        void CloseDelayed() override;

    private:
        TTcpSrvClient& FSocket;
    };

    TConnection FConnection{*this};
};

class TTcpSrv final : public TControllerServer {
public:
    TTcpSrv();
    ~TTcpSrv() override;
    TTcpSrv(const TTcpSrv&) = delete;
    TTcpSrv& operator=(const TTcpSrv&) = delete;

    void Configure(const TControllerServerSettings& settings) override;
    void SetProto(const std::string& proto) override;
    void SetAddr(const std::string& addr) override;
    void SetPort(const std::string& port) override;
    std::string Port() const override;
    bool Listening() const override;
    bool Connected() const override;
    void Listen() override;
    void CloseDelayed() override;
    int ClientCount() const override;
    TControllerClient* Client(int index) const override;

    calyx::TXSocketServer& Socket() const noexcept { return *FSocket; }

private:
    calyx::TXSocketServer* FSocket;
};

}  // namespace gatecfg
