#include "MessageHandlers.h"

#include "AddressRecordText.h"
#include "FormatMessageText.h"
#include "PayloadView.h"
#include "StatusText.h"

#include <cstring>

// Payloads come from another process: every field is read through PayloadView,
// so a payload shorter than its layout reads as zero-padded and nothing past
// nSize is touched.

namespace quelstd {
namespace {

constexpr uint32_t kClosedByRemote = 0x1;
constexpr uint32_t kClosedOnTimeout = 0x2;
constexpr uint32_t kLostReconnecting = 0x1;

// A payload of a u32 status or flags word followed by an address record.
struct WordAndRecord {
    uint32_t word;
    PayloadView record;
};

WordAndRecord ReadWordAndRecord(const void* pvData, long nSize)
{
    PayloadView payload(pvData, nSize);
    return {payload.U32(0), RecordBytes(payload.Tail(4))};
}

HRESULT Reply(QUEL_MESSAGE_TYPE* pnType, QUEL_MESSAGE_TYPE type, BSTR* bstrText, const std::wstring& text)
{
    *pnType = type;
    return StoreText(bstrText, text);
}

QUEL_MESSAGE_TYPE SeverityOf(uint32_t status) { return status != 0 ? QUEL_MSG_ERROR : QUEL_MSG_INFO; }

// Codes 3 and 6: a connect result with its endpoint.
HRESULT ConnectResult(const void* pvData, long nSize, const wchar_t* failure, const wchar_t* success,
                      QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    WordAndRecord in = ReadWordAndRecord(pvData, nSize);
    const wchar_t* protocol = ProtocolName(RecordTypeWord(in.record));
    std::wstring endpoint = EndpointText(in.record);
    std::wstring text = in.word != 0 ? FormatBounded(failure, protocol, endpoint.c_str(), StatusText(in.word).c_str())
                                     : FormatBounded(success, protocol, endpoint.c_str());
    return Reply(pnType, SeverityOf(in.word), bstrText, text);
}

// Codes 4 and 7: an accepted connection with its peer.
HRESULT Accepted(const void* pvData, long nSize, const wchar_t* format, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    PayloadView record = RecordBytes(PayloadView(pvData, nSize));
    return Reply(pnType, QUEL_MSG_INFO, bstrText,
                 FormatBounded(format, ProtocolName(RecordTypeWord(record)), EndpointText(record).c_str()));
}

}  // namespace

HRESULT OnDeviceOpened(long, const void*, long, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    return Reply(pnType, QUEL_MSG_INFO, bstrText, L"Device opened");
}

HRESULT OnDeviceClosed(long, const void*, long, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    return Reply(pnType, QUEL_MSG_INFO, bstrText, L"Device closed");
}

HRESULT OnConnectResult(long, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    return ConnectResult(pvData, nSize, L"Unable to establish %ls connection with %ls (%ls)",
                         L"Established %ls connection with %ls", pnType, bstrText);
}

HRESULT OnConnectionAccepted(long, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    return Accepted(pvData, nSize, L"Accepted %ls connection from %ls", pnType, bstrText);
}

HRESULT OnConnectionClosed(long, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    WordAndRecord in = ReadWordAndRecord(pvData, nSize);
    const wchar_t* protocol = ProtocolName(RecordTypeWord(in.record));
    std::wstring endpoint = EndpointText(in.record);
    if (in.word & kClosedByRemote)
        return Reply(pnType, QUEL_MSG_INFO, bstrText,
                     FormatBounded(L"Remote node %ls closed %ls connection", endpoint.c_str(), protocol));
    // The suffix is added after the cut, so it alone may pass the length limit.
    std::wstring text = FormatBounded(L"%ls connection with %ls closed", protocol, endpoint.c_str());
    if (in.word & kClosedOnTimeout)
        text += L" (timed out)";
    return Reply(pnType, QUEL_MSG_INFO, bstrText, text);
}

HRESULT OnLogServiceConnectResult(long, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    return ConnectResult(pvData, nSize, L"Unable to establish %ls connection with Pelko Log Service at %ls (%ls)",
                         L"Monitor has established %ls connection with Pelko Log Service at %ls", pnType, bstrText);
}

HRESULT OnLogServiceAccepted(long, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    return Accepted(pvData, nSize, L"Monitor has accepted %ls connection from Pelko Log Service at %ls", pnType,
                    bstrText);
}

HRESULT OnLogServiceClosed(long, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    WordAndRecord in = ReadWordAndRecord(pvData, nSize);
    const wchar_t* format = (in.word & kLostReconnecting)
                                ? L"%ls connection with Pelko Log Service at %ls was lost, trying to reconnect..."
                                : L"Monitor has closed %ls connection with Pelko Log Service at %ls";
    return Reply(pnType, QUEL_MSG_INFO, bstrText,
                 FormatBounded(format, ProtocolName(RecordTypeWord(in.record)), EndpointText(in.record).c_str()));
}

HRESULT OnListenResult(long, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    WordAndRecord in = ReadWordAndRecord(pvData, nSize);
    const wchar_t* protocol = ProtocolName(RecordTypeWord(in.record));
    int port = RecordPort(in.record);
    std::wstring text =
        in.word != 0 ? FormatBounded(L"Unable to open %ls port %d (%ls)", protocol, port, StatusText(in.word).c_str())
                     : FormatBounded(L"Listening on %ls port %d", protocol, port);
    return Reply(pnType, SeverityOf(in.word), bstrText, text);
}

HRESULT OnResolveByName(long, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    // At most kMaxTextLength bytes of the name, up to its first NUL.
    PayloadView name = PayloadView(pvData, nSize).Prefix(kMaxTextLength);
    char ansi[kMaxTextLength + 1] = {};
    if (name.size() > 0)
        std::memcpy(ansi, name.data(), name.size());
    wchar_t wide[kMaxTextLength + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, static_cast<int>(kMaxTextLength + 1));
    return Reply(pnType, QUEL_MSG_INFO, bstrText, FormatBounded(L"Resolving host by name %ls...", wide));
}

HRESULT OnResolveByMac(long, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    PayloadView mac(pvData, nSize);
    return Reply(pnType, QUEL_MSG_INFO, bstrText,
                 FormatBounded(L"Resolving host by MAC-address %d.%d.%d.%d.%d.%d...", mac.U8(0), mac.U8(1), mac.U8(2),
                               mac.U8(3), mac.U8(4), mac.U8(5)));
}

HRESULT OnResolveResult(long, const void* pvData, long nSize, QUEL_MESSAGE_TYPE* pnType, BSTR* bstrText)
{
    PayloadView payload(pvData, nSize);
    uint32_t status = payload.U32(0);
    std::wstring text =
        status != 0 ? FormatBounded(L"Unable to resolve host (%ls)", StatusText(status).c_str())
                    : FormatBounded(L"Host successfully resolved to %ls", DottedAddress(payload.U32(4)).c_str());
    return Reply(pnType, SeverityOf(status), bstrText, text);
}

}  // namespace quelstd
