#include "net/CalyxSocksXSocket.h"

#include <cstring>

#include "net/CalyxLibrary.h"

namespace calyx {

namespace {

std::string Level5ReplyText(int code)
{
    static const char* const kTexts[] = {"general SOCKS server failure",
                                         "connection not allowed by ruleset",
                                         "network unreachable",
                                         "host unreachable",
                                         "connection refused",
                                         "time to live expired",
                                         "command not supported",
                                         "address type not supported"};
    if (code >= 1 && code <= 8)
        return kTexts[code - 1];
    return "unassigned error #" + lib::IntToStr(code);
}

std::string PortBytes(u_short port)
{
    return std::string{char(port >> 8), char(port & 0xFF)};
}

}  // namespace

// --- properties ------------------------------------------------------------

void TCustomSocksXSocket::SetSocksServer(const std::string& value)
{
    if (State() != wsClosed) {
        RaiseException("Can't change socks server if not closed");
        return;
    }
    FSocksServer = lib::Trim(value);
    FSocksServerAssigned = !FSocksServer.empty();
}

void TCustomSocksXSocket::SetSocksPort(const std::string& value)
{
    if (State() != wsClosed) {
        RaiseException("Can't change socks port if not closed");
        return;
    }
    FSocksPortStr = lib::Trim(value);
    FSocksPortAssigned = !FSocksPortStr.empty();
}

void TCustomSocksXSocket::SetSocksLevel(const std::string& value)
{
    if (State() != wsClosed) {
        RaiseException("Can't change socks level if not closed");
        return;
    }
    if (value != "4" && value != "5" && value != "4A" && value != "4a") {
        RaiseException("Invalid socks level. Must be 4, 4A or 5.");
        return;
    }
    FSocksLevel = lib::UpperCase(value);
}

void TCustomSocksXSocket::AssignDefaultValue()
{
    TCustomXSocket::AssignDefaultValue();
    FSocksState = 0;
    FSocksServer.clear();
    FSocksPortStr.clear();
    FSocksLevel = "5";
    FLeftoverCount = 0;
    FSocksPortAssigned = false;
    FSocksServerAssigned = false;
}

// --- opening ---------------------------------------------------------------

void TCustomSocksXSocket::Listen()
{
    if (FSocksServerAssigned) {
        RaiseException("Listening is not supported thru socks server");
        return;
    }
    TCustomXSocket::Listen();
}

// Requests are built in a 128-byte area with one-byte lengths: what would not
// fit is refused before anything goes out.
std::string TCustomSocksXSocket::RequestTooLong() const
{
    if (SocksLevel4()) {
        size_t size = 8 + SocksUsercode.size() + 1;
        if (FSocksLevel == "4A")
            size += Addr().size() + 1;
        return size > size_t(kRequestArea) ? "SOCKS 4 request" : "";
    }
    if (Addr().size() > size_t(kRequestArea - 7))
        return "host name";
    if (SocksAuthentication == socksAuthenticateUsercode &&
        SocksUsercode.size() + SocksPassword.size() > size_t(kRequestArea - 3))
        return "user code and password";
    return "";
}

void TCustomSocksXSocket::Connect()
{
    if (!FSocksServerAssigned) {
        TCustomXSocket::Connect();
        return;
    }
    if (lib::LowerCase(Proto()) != "tcp" && lib::Trim(Proto()) != "6") {
        RaiseException("TCP is the only protocol supported thru socks server");
        return;
    }
    const std::string tooLong = RequestTooLong();
    if (!tooLong.empty()) {
        RaiseException("Connect: " + tooLong + " too long for the socks server");
        return;
    }
    try {
        if (!FPortResolved) {
            FSin.sin_port = winsock::htons(ResolvePort(FSocksPortStr));
            FPortResolved = true;
        }
        if (!FAddrResolved) {
            FSin.sin_addr.s_addr = XSocketResolveHost(FSocksServer);
            FAddrResolved = true;
        }
        FTargetPort = ResolvePort(Port());
    } catch (ESocketException& e) {
        RaiseException("Connect: " + e.Message());
        return;
    }
    FSocksState = 1;
    FRcvCnt = 0;
    TCustomXSocket::Connect();
}

// --- negotiation -----------------------------------------------------------

void TCustomSocksXSocket::SendSocks(const std::string& message)
{
    try {
        Send(message.data(), int(message.size()));
    } catch (...) {
        // A failed send shows as the close that follows it.
    }
}

void TCustomSocksXSocket::TriggerSessionConnectedSpecial(WORD error)
{
    if (FSocksState != 1) {
        TCustomXSocket::TriggerSessionConnectedSpecial(error);
        return;
    }
    const TSessionGuard session(this);
    TriggerSocksConnected(error);
    if (!session.Holds())
        return;
    if (error != 0) {
        FSocksState = 0;
        TCustomXSocket::TriggerSessionConnectedSpecial(error);
        return;
    }
    if (SocksLevel4()) {
        SocksDoConnect();
        return;
    }
    FSocksAuthMethod = SocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
    SendSocks(std::string{5, 1, char(FSocksAuthMethod)});
}

void TCustomSocksXSocket::SocksDoConnect()
{
    FSocksState = 3;
    FRcvCnt = 0;
    std::string request;
    if (SocksLevel4()) {
        // 4A sends 0.0.0.1 and leaves the name to the proxy.
        std::string target{0, 0, 0, 1};
        if (FSocksLevel != "4A") {
            try {
                const u_long addr = XSocketResolveHost(Addr());
                target.assign(reinterpret_cast<const char*>(&addr), 4);
            } catch (rtl::Exception& e) {
                const TSessionGuard session(this);
                TriggerSocksError(20017, "ESocketException " + e.Message());
                if (session.Holds())
                    InternalClose(true, 20017);
                return;
            }
        }
        request = std::string{4, 1} + PortBytes(FTargetPort) + target;
        request += SocksUsercode;
        request += '\0';
        if (FSocksLevel == "4A") {
            request += Addr();
            request += '\0';
        }
    } else {
        request = std::string{5, 1, 0, 3, char(Addr().size())} + Addr() + PortBytes(FTargetPort);
    }
    SendSocks(request);
}

void TCustomSocksXSocket::SocksDoAuthenticate()
{
    FSocksState = 2;
    FRcvCnt = 0;
    const TSessionGuard session(this);
    TriggerSocksAuthState(socksAuthStart);
    if (!session.Holds())
        return;
    SendSocks(std::string{1, char(SocksUsercode.size())} + SocksUsercode +
              char(SocksPassword.size()) + SocksPassword);
}

void TCustomSocksXSocket::SocksDoError(int error, const std::string& text)
{
    const TSessionGuard session(this);
    TriggerSocksError(error, text);
    if (!session.Holds())
        return;
    FSocksState = 0;
    TCustomXSocket::TriggerSessionConnectedSpecial(WORD(error));
    if (session.Holds())
        InternalClose(true, WORD(error));
}

bool TCustomSocksXSocket::ReceiveReply(int limit)
{
    if (limit <= FRcvCnt)
        return false;
    const int got = Receive(FRcvBuf + FRcvCnt, limit - FRcvCnt);
    if (got <= 0)
        return false;
    FRcvCnt += got;
    return true;
}

bool TCustomSocksXSocket::TriggerDataAvailable(WORD error)
{
    if (FSocksState == 0)
        return TCustomXSocket::TriggerDataAvailable(error);
    if (error != 0) {
        SocksDoError(error, "data receive error");
        return false;
    }
    switch (FSocksState) {
    case 1:
        if (SocksLevel4()) {
            SocksDoError(20001, "TXSocket logic error");
            return false;
        }
        if (!ReceiveReply(kRequestArea - 1) || FRcvCnt < 2)
            return true;
        FRcvCnt = 0;
        if (FRcvBuf[0] != 5) {
            SocksDoError(20002, "socks version error");
        } else if (FRcvBuf[1] == 0) {
            const TSessionGuard session(this);
            if (FSocksAuthMethod == 2)
                TriggerSocksAuthState(socksAuthNotRequired);
            if (session.Holds())
                SocksDoConnect();
        } else if (FRcvBuf[1] == 2 && FSocksAuthMethod == 2) {
            // Only offered credentials go out: their lengths were checked
            // at Connect.
            SocksDoAuthenticate();
        } else {
            SocksDoError(20003, "authentification method not acceptable");
        }
        return true;
    case 2:
        if (!ReceiveReply(kRequestArea - 1))
            return true;
        if (FRcvBuf[0] != 1) {
            SocksDoError(20002, "socks version error");
        } else if (FRcvCnt > 2) {
            SocksDoError(20001, "too much data availaible");
        } else if (FRcvCnt == 2) {
            if (FRcvBuf[1] != 0) {
                SocksDoError(20015, "socks authentication failed");
            } else {
                FRcvCnt = 0;
                const TSessionGuard session(this);
                TriggerSocksAuthState(socksAuthSuccess);
                if (session.Holds())
                    SocksDoConnect();
            }
        }
        return true;
    case 3:
        return SocksLevel4() ? DataAvailableLevel4Reply() : DataAvailableLevel5Reply();
    default:
        SocksDoError(20013, "internal error");
        return false;
    }
}

bool TCustomSocksXSocket::DataAvailableLevel4Reply()
{
    if (!ReceiveReply(8) || FRcvCnt < 8)
        return true;
    FRcvCnt = 0;
    if (FRcvBuf[0] != 0) {
        SocksDoError(20002, "socks version error");
        return true;
    }
    switch (FRcvBuf[1]) {
    case 90: {
        FSocksState = 0;
        const TSessionGuard session(this);
        TCustomXSocket::TriggerSessionConnectedSpecial(0);
        if (session.Holds())
            TriggerDataAvailable(0);
        break;
    }
    case 91:
        SocksDoError(20016, "request rejected or failed");
        break;
    case 92:
        SocksDoError(20008, "connection refused");
        break;
    case 93:
        SocksDoError(20015, "authentification failed");
        break;
    default:
        SocksDoError(20012, "unassigned error #" + lib::IntToStr(int(FRcvBuf[1])));
    }
    return true;
}

bool TCustomSocksXSocket::DataAvailableLevel5Reply()
{
    if (!ReceiveReply(kReplyArea))
        return true;
    if (FRcvBuf[0] != 5) {
        SocksDoError(20002, "socks version error");
        return true;
    }
    if (FRcvCnt >= 2 && FRcvBuf[1] != 0) {
        const int code = FRcvBuf[1];
        SocksDoError(code <= 8 ? 20003 + code : 20012, Level5ReplyText(code));
        return true;
    }
    if (FRcvCnt <= 4)
        return true;
    const int type = FRcvBuf[3];
    const int length = type == 1 ? 10 : type == 3 ? 7 + FRcvBuf[4] : 5;
    if (FRcvCnt < length)
        return true;
    if (type == 1) {
        in_addr a;
        std::memcpy(&a, FRcvBuf + 4, 4);
        FBoundAddr = XSocket_inet_ntoa(a);
    } else if (type == 3) {
        FBoundAddr.assign(reinterpret_cast<const char*>(FRcvBuf + 5), FRcvBuf[4]);
    } else {
        SocksDoError(20011, "address type not supported");
        return true;
    }
    FBoundPort = lib::IntToStr((int(FRcvBuf[length - 2]) << 8) | FRcvBuf[length - 1]);
    FSocksState = 0;
    FLeftoverCount = FRcvCnt - length;
    FLeftoverStart = length;
    FRcvCnt = 0;
    const TSessionGuard session(this);
    TCustomXSocket::TriggerSessionConnectedSpecial(0);
    if (session.Holds())
        TriggerDataAvailable(0);
    return true;
}

int TCustomSocksXSocket::GetRcvdCount()
{
    if (FLeftoverCount > 0)
        return FLeftoverCount;
    return TCustomXSocket::GetRcvdCount();
}

int TCustomSocksXSocket::DoRecv(void* buffer, int len, int flags)
{
    if (FLeftoverCount <= 0)
        return TCustomXSocket::DoRecv(buffer, len, flags);
    const int count = len < FLeftoverCount ? len : FLeftoverCount;
    std::memcpy(buffer, FRcvBuf + FLeftoverStart, size_t(count));
    FLeftoverStart += count;
    FLeftoverCount -= count;
    return count;
}

// --- triggers --------------------------------------------------------------

void TCustomSocksXSocket::TriggerSessionClosed(WORD error)
{
    const TCxLifeGuard life(this);
    if (FSocksState == 2)
        TriggerSocksAuthState(socksAuthFailure);
    if (life.InService())
        TCustomXSocket::TriggerSessionClosed(error);
}

void TCustomSocksXSocket::TriggerSocksConnected(WORD error)
{
    if (OnSocksConnected.Assigned())
        OnSocksConnected(this, error);
}

void TCustomSocksXSocket::TriggerSocksError(int error, const std::string& text)
{
    if (OnSocksError.Assigned())
        OnSocksError(this, error, text);
}

void TCustomSocksXSocket::TriggerSocksAuthState(TSocksAuthState state)
{
    if (OnSocksAuthState.Assigned())
        OnSocksAuthState(this, state);
}

}  // namespace calyx
