#include "Demo.h"

#include <cstring>

#include "Records.h"

namespace logpeer {

namespace {

constexpr uint32_t kConnectionRefused = 0xC0000236;

struct Step {
    uint32_t code;
    const char* device;
    Bytes payload;
};

Bytes Text(const char* s) { return Bytes(s, s + strlen(s)); }

std::vector<Step> Story()
{
    const uint32_t host = Ipv4(192, 168, 1, 20), other = Ipv4(192, 168, 1, 21), client = Ipv4(192, 168, 1, 30);
    const uint8_t mac[6] = {0x00, 0x1B, 0x21, 0x3A, 0x4C, 0x5D};
    return {
        {kDeviceOpened, "COM1", {}},
        {kResolveByName, "COM1", ResolveByNamePayload("serial-gw.local")},
        {kResolveResult, "COM1", ResolveResultPayload(0, host)},
        {kConnectResult, "COM1", StatusPayload(0, TcpAddressRecord(host, 4001))},
        {kDeviceOpened, "COM2", {}},
        {kListenResult, "COM2", StatusPayload(0, TcpAddressRecord(0, 4002))},
        {kTxData, "COM1", Text("ATI\r\n")},
        {kRxData, "COM1", Text("VSP gateway 2.4\r\nOK\r\n")},
        {kResolveByMac, "COM2", ResolveByMacPayload(mac)},
        {kResolveResult, "COM2", ResolveResultPayload(0, other)},
        {kConnectResult, "COM2", StatusPayload(kConnectionRefused, TcpAddressRecord(other, 4002))},
        {kConnectionAccepted, "COM2", TcpAddressRecord(client, 51234)},
        {kRxData, "COM2", Text("$001APING5C\r\n")},
        {kTxData, "COM2", Text("$001AECHO3F")},
        {kTxData, "COM1", Text("AT+STATUS?\r\n")},
        {kRxData, "COM1", Text("+STATUS: 1,READY\r\nOK\r\n")},
        {kConnectionClosed, "COM1", ClosedPayload(kClosedByRemote, TcpAddressRecord(host, 4001))},
        {kConnectionClosed, "COM2", ClosedPayload(kClosedTimedOut, TcpAddressRecord(client, 51234))},
        {kDeviceClosed, "COM1", {}},
        {kDeviceClosed, "COM2", {}},
    };
}

}  // namespace

void RunDemo(LogPeer& peer, unsigned rounds, DWORD intervalMs, HANDLE stop)
{
    const std::vector<Step> story = Story();
    for (unsigned round = 0; rounds == 0 || round < rounds; ++round) {
        for (const Step& s : story) {
            if (WaitForSingleObject(stop, intervalMs) == WAIT_OBJECT_0)
                return;
            peer.Publish(s.code, s.device, s.payload);
        }
    }
}

}  // namespace logpeer
