#include "OpeningRequest.h"

#include <algorithm>
#include <cctype>

#include "RecordCodes.h"

namespace logpeer {

std::optional<OpeningRequest> ParseOpeningRequest(const Bytes& payload)
{
    if (payload.size() < 4)
        return std::nullopt;
    OpeningRequest request;
    request.dumpFlag = GetU32(payload.data());
    if (payload.size() == 4)
        return request;
    auto nul = std::find(payload.begin() + 4, payload.end(), 0);
    if (nul != payload.end() - 1)
        return std::nullopt;  // no terminator, or bytes after it
    request.filter.assign(payload.begin() + 4, nul);
    request.hasFilter = !request.filter.empty();
    return request;
}

Bytes BuildOpeningRequest(uint32_t dumpFlag, const char* filter)
{
    Bytes out;
    PutU32(out, dumpFlag);
    if (filter && *filter)
        PutString(out, filter, true);
    return out;
}

namespace {
bool SameDevice(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}
}  // namespace

bool Admits(const OpeningRequest& request, uint32_t code, const std::string& device)
{
    if ((code == kTxData || code == kRxData) && request.dumpFlag == 0)
        return false;
    return !request.hasFilter || SameDevice(request.filter, device);
}

}  // namespace logpeer
