// Texts of the address records inside log-record payloads.
#pragma once

#include "PayloadView.h"

#include <cstdint>
#include <string>

namespace quelstd {

constexpr uint32_t kTypeWordTcp = 0x00060102;
constexpr uint32_t kTypeWordUdp = 0x00110202;
constexpr uint32_t kTypeWordPipe = 0x00060141;

// The record that starts a view, bounded by both its own size field and the
// bytes the view holds.
PayloadView RecordBytes(PayloadView at);

// Type word of a bounded record; 0 when the record is too short to hold one.
uint32_t RecordTypeWord(PayloadView record);

// The u16 port of a bounded IPv4 record; 0 when the record is shorter than 14 bytes.
uint16_t RecordPort(PayloadView record);

// "TCP", "UDP", "PIPE" or "(unknown protocol)".
const wchar_t* ProtocolName(uint32_t typeWord);

// "a.b.c.d" of an IPv4 address in host byte order.
std::wstring DottedAddress(uint32_t hostOrderAddress);

// "a.b.c.d:port", the pipe name as stored, or "(unknown address)".
std::wstring EndpointText(PayloadView record);

}  // namespace quelstd
