#pragma once
#include "net/ipv4/Ipv4Record.h"
#include "net/SocketApi.h"
#include "runtime/HandleOwner.h"
#include "support/MessageWaiter.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>

constexpr uint32_t kLoopback = 0x7F000001;

// A raw UDP endpoint on 127.0.0.1 port 0, kept alive by `opened` (made with
// object offset 4); its actual record in `local`.
inline void* OpenUdp(MessageWaiter* opened, Ipv4Record* local)
{
    Ipv4Record any = Ipv4RecordMake(kAddressTypeUdp, kLoopback, 0);
    SockOpen(&any.header, &opened->closure);
    EXPECT_TRUE(opened->WaitFor(1));
    EXPECT_EQ(opened->U32(0, 0), kStatusSuccess);
    std::string m = opened->At(0);
    EXPECT_EQ(m.size(), 8u + 14u);
    if (m.size() >= 8 + sizeof(*local))
        std::memcpy(local, m.data() + 8, sizeof(*local));
    return opened->Object(0);
}

inline HandleOwner Area(uint32_t size)
{
    HandleOwner h;
    EXPECT_TRUE(StatusAccepted(BufAlloc(h.put(), nullptr, nullptr, size)));
    return h;
}

inline void SendTo(void* from, const std::string& bytes, const Ipv4Record& to)
{
    HandleOwner h;
    EXPECT_TRUE(StatusAccepted(BufAllocCopy(h.put(), bytes.data(), static_cast<uint32_t>(bytes.size()))));
    MessageWaiter sent;
    RawEndpointSendTo(from, h.get(), &to.header, &sent.closure);
    EXPECT_TRUE(sent.WaitFor(1));
    EXPECT_EQ(sent.U32(0, 0), kStatusSuccess);
}

// The record at `offset` of message i.
inline Ipv4Record RecordIn(MessageWaiter& waiter, size_t i, size_t offset)
{
    Ipv4Record r = {};
    std::string m = waiter.At(i);
    if (m.size() >= offset + sizeof(r))
        std::memcpy(&r, m.data() + offset, sizeof(r));
    return r;
}
