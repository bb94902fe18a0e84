#pragma once
// The log service's endpoint as a monitor object connects to it: the pipe
// "vororado_log_server" on the NT family, TCP 127.0.0.1 port 50001 elsewhere.
#include "net/AddressRecord.h"
#include "runtime/Platform.h"

class LogServiceAddress {
public:
    explicit LogServiceAddress(bool ntPlatform = IsNtPlatform());
    ~LogServiceAddress();
    LogServiceAddress(const LogServiceAddress&) = delete;
    LogServiceAddress& operator=(const LogServiceAddress&) = delete;

    // None when the pipe's record could not be made (memory is short).
    const AddressRecord* get() const { return m_record; }

private:
    const AddressRecord* m_record = nullptr;
    AddressRecord* m_pipe = nullptr;                // a tracked block
    alignas(4) unsigned char m_tcp[kIpv4RecordSize] = {};
};
