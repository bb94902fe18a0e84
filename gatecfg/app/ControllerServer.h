// What the main form needs of the socket server that controllers connect to,
// and of each controller's connection: the server component plugs in behind
// these classes, and tests drive the form through a fake of them.
#pragma once

#include <exception>
#include <string>

#include "rtl/Event.h"
#include "rtl/Object.h"

namespace gatecfg {

// One controller's connection (the server's client socket in line mode).
class TControllerClient : public rtl::TObject {
public:
    virtual std::string PeerAddr() const = 0;
    virtual std::string PeerPort() const = 0;
    virtual std::string LocalAddr() const = 0;
    virtual std::string LocalPort() const = 0;
    // The socket state is wsConnected, or wsInvalidState.
    virtual bool Connected() const = 0;
    virtual bool InvalidState() const = 0;

    virtual void SetLineMode(bool value) = 0;
    virtual void SetLineEdit(bool value) = 0;
    virtual void SetLineLimit(int value) = 0;

    // The line that OnDataAvailable announced, with its line end.
    virtual std::string ReceiveStr() = 0;
    // Sends the bytes as they are; raises the socket's error when it is not
    // connected.
    virtual void SendStr(const std::string& data) = 0;
    virtual void Close() = 0;
    virtual void CloseDelayed() = 0;

    // The line being handled.
    std::string RcvdLine;

    rtl::TEvent<rtl::TObject*, int> OnDataAvailable;                        // Sender, Error
    rtl::TEvent<rtl::TObject*, int, bool&> OnLineLimitExceeded;             // RcvdLength, ClearData
    rtl::TEvent<rtl::TObject*, const std::exception&, bool&> OnBgException;  // E, CanClose
};

// The settings the server is made with.
struct TControllerServerSettings {
    std::string Proto = "tcp";
    std::string LocalAddr = "0.0.0.0";
    bool MultiThreaded = false;
    bool ReuseAddr = true;
    int ListenBacklog = 5;
    std::string Banner = "Welcome to TcpSrv";
    std::string BannerTooBusy = "Sorry, too many clients";
    int MaxClients = 1;
};

class TControllerServer {
public:
    virtual ~TControllerServer() = default;

    virtual void Configure(const TControllerServerSettings& settings) = 0;
    virtual void SetProto(const std::string& proto) = 0;
    virtual void SetAddr(const std::string& addr) = 0;
    virtual void SetPort(const std::string& port) = 0;
    // The port listened on, the real one after listening on port "0".
    virtual std::string Port() const = 0;

    // The listening socket's state is wsListening, or wsConnected.
    virtual bool Listening() const = 0;
    virtual bool Connected() const = 0;
    virtual void Listen() = 0;
    virtual void CloseDelayed() = 0;

    virtual int ClientCount() const = 0;
    virtual TControllerClient* Client(int index) const = 0;

    // Raised before the banner is sent, and before the client is freed.
    rtl::TEvent<rtl::TObject*, TControllerClient*, int> OnClientConnect;
    rtl::TEvent<rtl::TObject*, TControllerClient*, int> OnClientDisconnect;
    rtl::TEvent<rtl::TObject*, int> OnSessionClosed;
    rtl::TEvent<rtl::TObject*, const std::exception&, bool&> OnBgException;
};

}  // namespace gatecfg
