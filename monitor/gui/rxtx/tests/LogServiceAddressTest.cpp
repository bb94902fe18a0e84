// The log service's endpoint as the RX/TX windows' links connect to it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "LogServiceAddress.h"
#include "RxTxTestSupport.h"

namespace {

using LogServiceAddressTest = RxTxTest;

std::string Bytes(const AddressRecord* record)
{
    return std::string(reinterpret_cast<const char*>(record), record->size);
}

TEST_F(LogServiceAddressTest, ThePipeOnNtAndTcpPort50001OfTheLoopbackElsewhere)
{
    const LogServiceAddress pipe(true);
    ASSERT_NE(pipe.get(), nullptr);
    EXPECT_EQ(pipe.get()->type, kAddressTypePipe);
    EXPECT_EQ(std::string(static_cast<const char*>(PipeRecordName(pipe.get()))), "\\\\.\\pipe\\vororado_log_server");

    const LogServiceAddress tcp(false);
    ASSERT_NE(tcp.get(), nullptr);
    // Size 14, TCP stream, 127.0.0.1 and 50001 in host order.
    EXPECT_EQ(Bytes(tcp.get()), std::string("\x0e\0\0\0\x02\x01\x06\0\x01\0\0\x7f\x51\xc3", 14));
}

}  // namespace
