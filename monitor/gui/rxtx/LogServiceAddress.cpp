#include "LogServiceAddress.h"

#include <cstring>

#include "runtime/TrackedBlock.h"

namespace {

constexpr char kLogServicePipe[] = "vororado_log_server";
constexpr uint32_t kLoopback = 0x7F000001;
constexpr uint16_t kLogServicePort = 50001;

}  // namespace

LogServiceAddress::LogServiceAddress(bool ntPlatform)
{
    if (ntPlatform) {
        m_pipe = PipeAddressFromNameA(kLogServicePipe, nullptr, 0);
        m_record = m_pipe;
        return;
    }
    // {size 14, TCP stream, u32 address, u16 port}, host order.
    const uint32_t header[3] = {kIpv4RecordSize, kAddressTypeTcp, kLoopback};
    std::memcpy(m_tcp, header, sizeof header);
    std::memcpy(m_tcp + 12, &kLogServicePort, 2);
    m_record = reinterpret_cast<const AddressRecord*>(m_tcp);
}

LogServiceAddress::~LogServiceAddress()
{
    BlockRelease(m_pipe);
}
