#include "LogServiceAddress.h"

#include "runtime/Platform.h"

namespace {

constexpr char kLogServicePipe[] = "vororado_log_server";
constexpr uint32_t kLoopback = 0x7F000001;
constexpr uint16_t kLogServicePort = 50001;

}  // namespace

LogServiceAddress::LogServiceAddress()
{
    if (IsNtPlatform())
        m_pipe.reset(PipeAddressFromNameA(kLogServicePipe, nullptr, 0));
    else
        m_tcp = Ipv4RecordMake(kAddressTypeTcp, kLoopback, kLogServicePort);
}

const AddressRecord* LogServiceAddress::Get() const
{
    const bool tcp = m_tcp.header.size != 0;  // set on systems without pipes
    return tcp ? &m_tcp.header : m_pipe.get();
}
