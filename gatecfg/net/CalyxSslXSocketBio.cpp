// SSL level of the socket chain: the traced OpenSSL BIO calls and network
// calls. Each BIO call first takes stale errors off OpenSSL's queue (logging
// them with loSslErr), so that no later operation reads them as its own.
#include <atomic>

#include "net/CalyxLIBEAY.h"
#include "net/CalyxLibrary.h"
#include "net/CalyxSslXSocket.h"

namespace calyx {

namespace {

// Numbers every formatted trace line of the SSL level, process-wide.
std::atomic<int> gTraceSequence{0};

int NextSequence()
{
    return ++gTraceSequence;
}

// Printable bytes as they are, every other byte as "$" + two hex digits + " ".
std::string DumpText(const void* data, int len)
{
    std::string text;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (int i = 0; data && i < len; ++i) {
        if (bytes[i] >= 32 && bytes[i] <= 126)
            text += char(bytes[i]);
        else
            text += "$" + lib::IntToHex(bytes[i], 2) + " ";
    }
    return text;
}

std::string ControlName(int cmd)
{
    switch (cmd) {
    case BIO_CTRL_PENDING: return "BIO_CTRL_PENDING";
    case BIO_CTRL_FLUSH: return "BIO_CTRL_FLUSH";
    case BIO_C_DO_STATE_MACHINE: return "BIO_C_DO_STATE_MACHINE";
    case BIO_C_SET_SSL: return "BIO_C_SET_SSL";
    default: return lib::IntToStr(cmd);
    }
}

uint32_t Address(const void* p)
{
    return uint32_t(reinterpret_cast<uintptr_t>(p));
}

}  // namespace

std::string TCustomSslXSocket::Identity() const
{
    return lib::IntToHex(Address(this), 8);
}

void TCustomSslXSocket::SslTrace(const std::string& text)
{
    if (CheckLogOptions(loSslInfo))
        DebugLog(loSslInfo, Identity() + text + lib::IntToStr(int(HSocket())));
}

void TCustomSslXSocket::SslTraceText(const std::string& text)
{
    if (CheckLogOptions(loSslInfo))
        DebugLog(loSslInfo, text);
}

void TCustomSslXSocket::LastOpenSslErr()
{
    LastSslError = uint32_t(libeay::ERR_peek_error());
    if (LastSslError == 0)
        return;
    if (CheckLogOptions(loSslErr))
        DebugLog(loSslErr, lib::Format("%s  %d  [%d] %s", Identity().c_str(), int(HSocket()),
                                       NextSequence(), OpenSslErrorStackText(true).c_str()));
    else
        libeay::ERR_clear_error();
}

const char* TCustomSslXSocket::BioName(const BIO* bio) const
{
    if (bio == FSslbio)
        return "sslbio";
    if (bio == FIbio)
        return "ibio";
    if (bio == FNbio)
        return "nbio";
    return "bio";
}

// "<identity> <call>(<bio>) = <result>   [<sequence>]"
void TCustomSslXSocket::TraceBioQuery(const char* call, BIO* bio, long result)
{
    if (CheckLogOptions(loSslInfo))
        DebugLog(loSslInfo, lib::Format("%s %s(%s) = %ld   [%d]", Identity().c_str(), call,
                                        BioName(bio), result, NextSequence()));
}

// The read and write traces, with the bytes when only loSslDump is on.
void TCustomSslXSocket::TraceBioTransfer(const char* call, BIO* bio, const void* data, int len,
                                         int result)
{
    if (CheckLogOptions(loSslInfo)) {
        DebugLog(loSslInfo, lib::Format("%s %s(%s, 0x%x, %d) = %d   [%d]", Identity().c_str(), call,
                                        BioName(bio), Address(data), len, result, NextSequence()));
    } else if (CheckLogOptions(loSslDump)) {
        DebugLog(loSslDump, lib::Format("%s %s(%s, 0x%x, %d) = %d   [%d] Data:%s",
                                        Identity().c_str(), call, BioName(bio), Address(data), len,
                                        result, NextSequence(),
                                        DumpText(data, result > 0 ? result : 0).c_str()));
    }
}

void TCustomSslXSocket::TraceQueued(bool sslBuffer, const void* data, int len)
{
    const int handle = int(HSocket());
    if (CheckLogOptions(loSslInfo)) {
        DebugLog(loSslInfo,
                 sslBuffer ? lib::Format("%s PutDataInSslBuffer %d len %d  [%d] ", Identity().c_str(),
                                         handle, len, NextSequence())
                           : lib::Format("%s PutDataInSendBuffer %d  len %d [%d]", Identity().c_str(),
                                         handle, len, NextSequence()));
    } else if (CheckLogOptions(loSslDump)) {
        const std::string dump = DumpText(data, len);
        DebugLog(loSslDump,
                 lib::Format(sslBuffer ? "%s PutDataInSslBuffer %d [%d] Data:%s"
                                       : "%s PutDataInSendBuffer %d [%d] Data:%s",
                             Identity().c_str(), handle, NextSequence(), dump.c_str()));
    }
}

// The pattern of every traced BIO call: stale errors off the queue first,
// nothing without a BIO.
int TCustomSslXSocket::BioQuery(const char* call, BIO* bio, size_t(__cdecl* query)(BIO*))
{
    LastOpenSslErr();
    if (!bio)
        return 0;
    const int result = int(query(bio));
    TraceBioQuery(call, bio, result);
    return result;
}

template <class Data>
int TCustomSslXSocket::BioTransfer(const char* call, BIO* bio, Data data, int len,
                                   int(__cdecl* transfer)(BIO*, Data, int))
{
    LastOpenSslErr();
    if (!bio)
        return 0;
    const int result = transfer(bio, data, len);
    TraceBioTransfer(call, bio, data, len, result);
    return result;
}

int TCustomSslXSocket::MyBIO_ctrl_pending(BIO* bio)
{
    return BioQuery("BIO_ctrl_pending", bio, libeay::BIO_ctrl_pending);
}

int TCustomSslXSocket::MyBIO_ctrl_get_write_guarantee(BIO* bio)
{
    return BioQuery("BIO_ctrl_get_write_guarantee", bio, libeay::BIO_ctrl_get_write_guarantee);
}

int TCustomSslXSocket::MyBIO_ctrl_get_read_request(BIO* bio)
{
    return BioQuery("BIO_ctrl_get_read_request", bio, libeay::BIO_ctrl_get_read_request);
}

int TCustomSslXSocket::MyBIO_read(BIO* bio, void* data, int len)
{
    return BioTransfer("BIO_read", bio, data, len, libeay::BIO_read);
}

int TCustomSslXSocket::MyBIO_write(BIO* bio, const void* data, int len)
{
    return BioTransfer("BIO_write", bio, data, len, libeay::BIO_write);
}

long TCustomSslXSocket::MyBIO_ctrl(BIO* bio, int cmd, long larg, void* parg)
{
    if (!bio)
        return 0;
    const long result = libeay::BIO_ctrl(bio, cmd, larg, parg);
    if (CheckLogOptions(loSslInfo)) {
        const std::string arg =
            cmd == BIO_C_SET_SSL && larg == BIO_NOCLOSE ? "BIO_NOCLOSE" : lib::IntToStr(int(larg));
        DebugLog(loSslInfo, lib::Format("%s BIO_ctrl(%s, %s, %s, 0x%x) = %ld   [%d]",
                                        Identity().c_str(), BioName(bio), ControlName(cmd).c_str(),
                                        arg.c_str(), Address(parg), result, NextSequence()));
    }
    return result;
}

bool TCustomSslXSocket::MyBIO_should_retry(BIO* bio)
{
    if (!bio)
        return false;
    const bool result = BioShouldRetry(bio);
    TraceBioQuery("BIO_should_retry", bio, result ? 1 : 0);
    return result;
}

int TCustomSslXSocket::MyWinsockRecv(char* buffer, int len)
{
    const int result = TCustomSocksXSocket::DoRecv(buffer, len, 0);
    if (CheckLogOptions(loSslInfo))
        DebugLog(loSslInfo, lib::Format("%s Winsock recv( %d, 0x%x, %d, %d) = %d   [%d]",
                                        Identity().c_str(), int(HSocket()), Address(buffer), len, 0,
                                        result, NextSequence()));
    return result;
}

// RealSend in its two steps, so that the trace comes before OnSendData,
// whose handler may free the socket.
int TCustomSslXSocket::MyRealSend(const char* buffer, int len)
{
    const int result = NetworkSend(buffer, len);
    if (CheckLogOptions(loSslInfo))
        DebugLog(loSslInfo, lib::Format("%s my_RealSend (0x%x, %d, %d) = %d   [%d]",
                                        Identity().c_str(), unsigned(HSocket()), Address(buffer),
                                        len, result, NextSequence()));
    if (result > 0)
        TriggerSendData(result);
    return result;
}

}  // namespace calyx
