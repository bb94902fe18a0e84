#include "frontend/MonitorRecordView.h"

#include <cstring>

namespace {
constexpr uint32_t kNameOffset = 8;
}

bool SplitMonitorRecord(const void* data, uint32_t size, MonitorRecordView* view)
{
    if (data == nullptr || size < kNameOffset + 1)
        return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    const void* nul = std::memchr(bytes + kNameOffset, 0, size - kNameOffset);
    if (nul == nullptr)
        return false;
    const uint32_t nameLength = static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - bytes) - kNameOffset;
    std::memcpy(&view->code, bytes, sizeof(view->code));
    view->name = reinterpret_cast<const char*>(bytes + kNameOffset);
    view->nameLength = nameLength;
    view->payload = bytes + kNameOffset + nameLength + 1;
    view->payloadLength = size - kNameOffset - nameLength - 1;
    return true;
}
