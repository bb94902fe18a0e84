#pragma once
#include "net/AddressRecord.h"
#include "net/ipv4/Ipv4Record.h"
#include "runtime/BlockOwner.h"

// Where the monitors reach the log service on this system: the named pipe
// "vororado_log_server" on NT, TCP 127.0.0.1 port 50001 elsewhere.
class LogServiceAddress {
public:
    LogServiceAddress();
    LogServiceAddress(const LogServiceAddress&) = delete;
    LogServiceAddress& operator=(const LogServiceAddress&) = delete;

    // None when the pipe record could not be made (memory is short).
    const AddressRecord* Get() const;

private:
    BlockOwner<AddressRecord> m_pipe;  // on NT
    Ipv4Record m_tcp{};
};
