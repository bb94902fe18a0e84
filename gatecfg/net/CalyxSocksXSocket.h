#pragma once
// The SOCKS layer of the socket chain: an outgoing TCP connection through a
// SOCKS 4, 4A or 5 proxy, with user-code and password authentication for 5.
// With no SocksServer set every call and event passes straight through.
#include <string>

#include "net/CalyxXSocket.h"

namespace calyx {

enum TSocksAuthentication : uint8_t { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState : uint8_t {
    socksAuthStart,
    socksAuthSuccess,
    socksAuthFailure,
    socksAuthNotRequired,
};

using TSocksErrorEvent = rtl::TEvent<rtl::TObject*, int, const std::string&>;
using TSocksAuthStateEvent = rtl::TEvent<rtl::TObject*, TSocksAuthState>;

class TCustomSocksXSocket : public TCustomXSocket {
public:
    explicit TCustomSocksXSocket(rtl::TComponent* owner) : TCustomXSocket(owner) {}

    const std::string& SocksServer() const noexcept { return FSocksServer; }
    virtual void SetSocksServer(const std::string& value);
    const std::string& SocksPort() const noexcept { return FSocksPortStr; }
    virtual void SetSocksPort(const std::string& value);
    const std::string& SocksLevel() const noexcept { return FSocksLevel; }
    void SetSocksLevel(const std::string& value);
    // A negotiation with the proxy is running.
    bool SocksNegotiating() const noexcept { return FSocksState != 0; }
    const std::string& BoundAddr() const noexcept { return FBoundAddr; }
    const std::string& BoundPort() const noexcept { return FBoundPort; }

    std::string SocksUsercode;
    std::string SocksPassword;
    TSocksAuthentication SocksAuthentication = socksNoAuthentication;

    TSocksErrorEvent OnSocksError;
    TSessionConnected OnSocksConnected;
    TSocksAuthStateEvent OnSocksAuthState;

    void Connect() override;
    void Listen() override;
    int GetRcvdCount() override;

protected:
    ~TCustomSocksXSocket() override = default;

    virtual void TriggerSocksConnected(WORD error);
    virtual void TriggerSocksError(int error, const std::string& text);
    void TriggerSocksAuthState(TSocksAuthState state);

    void AssignDefaultValue() override;
    bool TriggerDataAvailable(WORD error) override;
    void TriggerSessionConnectedSpecial(WORD error) override;
    void TriggerSessionClosed(WORD error) override;
    int DoRecv(void* buffer, int len, int flags) override;

private:
    static constexpr int kRequestArea = 128;
    // Large enough for a level-5 reply that names the bound host (7 + 255).
    static constexpr int kReplyArea = 512;

    bool SocksLevel4() const { return FSocksLevel != "5"; }
    std::string RequestTooLong() const;
    void SocksDoConnect();
    void SocksDoAuthenticate();
    void SocksDoError(int error, const std::string& text);
    void SendSocks(const std::string& message);
    // Receives up to limit bytes in all into the reply area; false when
    // nothing new arrived.
    bool ReceiveReply(int limit);
    bool DataAvailableLevel5Reply();
    bool DataAvailableLevel4Reply();

    uint8_t FSocksState = 0;
    std::string FSocksServer;
    std::string FSocksLevel = "5";
    std::string FSocksPortStr;
    bool FSocksPortAssigned = false;
    bool FSocksServerAssigned = false;
    uint8_t FSocksAuthMethod = 0;
    std::string FBoundAddr;
    std::string FBoundPort;
    u_short FTargetPort = 0;
    unsigned char FRcvBuf[kReplyArea] = {};
    int FRcvCnt = 0;
    int FLeftoverCount = 0;
    int FLeftoverStart = 0;
};

}  // namespace calyx
