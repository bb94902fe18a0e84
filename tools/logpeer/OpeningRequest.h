// The request a monitor sends after connecting, and which records it subscribes to.
#pragma once

#include <optional>

#include "Bytes.h"

namespace logpeer {

struct OpeningRequest {
    uint32_t dumpFlag = 0;   // non-zero: also the raw data records 9 and 10
    bool hasFilter = false;  // only the records of one device
    std::string filter;
};

// u32 dump flag, then optionally the device name ending in its only NUL; anything else is malformed.
std::optional<OpeningRequest> ParseOpeningRequest(const Bytes& payload);
// The bytes a monitor sends: the flag as given, then the filter with its NUL when not NULL or empty.
Bytes BuildOpeningRequest(uint32_t dumpFlag, const char* filter);

// Whether a connection that sent `request` is to receive a record of `code` about `device`.
// Device names compare without regard to ASCII case, as Windows port names do.
bool Admits(const OpeningRequest& request, uint32_t code, const std::string& device);

}  // namespace logpeer
