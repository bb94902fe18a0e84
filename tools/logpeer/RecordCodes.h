// Codes of the records the log service sends.
#pragma once

#include <cstdint>

namespace logpeer {

enum RecordCode : uint32_t {
    kDeviceOpened = 1,
    kDeviceClosed = 2,
    kConnectResult = 3,
    kConnectionAccepted = 4,
    kConnectionClosed = 5,
    kTxData = 9,
    kRxData = 10,
    kListenResult = 11,
    kResolveByName = 12,
    kResolveByMac = 13,
    kResolveResult = 14,
};

// Flags of a connection-closed record.
constexpr uint32_t kClosedByRemote = 1;
constexpr uint32_t kClosedTimedOut = 2;

// Type words of address records.
constexpr uint32_t kTypeTcp = 0x00060102;
constexpr uint32_t kTypeUdp = 0x00110202;
constexpr uint32_t kTypePipe = 0x00060141;

}  // namespace logpeer
