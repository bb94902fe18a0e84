#include "net/AddressRecord.h"
#include "runtime/BlockOwner.h"
#include "support/CoreTestFixture.h"
#include <iterator>
#include <memory>
#include <string>

namespace {

class AddressRecords : public CoreTest {};

std::string Bytes(const AddressRecord* r)
{
    return std::string(reinterpret_cast<const char*>(r), r->size);
}

using RecordPtr = BlockOwner<AddressRecord>;

TEST_F(AddressRecords, NarrowPipeRecordLayout)
{
    const char extra[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    struct Case {
        const char* name;
        const char* stored;
        bool withExtra;
        uint32_t size;
        uint32_t flags;
    };
    const Case cases[] = {
        {"abc", "\\\\.\\pipe\\abc", false, 25, 0},
        {"abc", "\\\\.\\pipe\\abc", true, 45, 50},
        {"\\\\host\\pipe\\abc", "\\\\host\\pipe\\abc", false, 12 + 15 + 1, 0},
        {"\\x", "\\x", false, 12 + 2 + 1, 0},
        {"/abc", "\\\\.\\pipe\\/abc", false, 26, 0},
        {"", "\\\\.\\pipe\\", false, 22, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordPtr r(PipeAddressFromNameA(c.name, c.withExtra ? extra : nullptr, 20));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->size, c.size);
        EXPECT_EQ(r->type, kAddressTypePipe);
        EXPECT_EQ(AddressFamily(r.get()), 0x41u);
        EXPECT_EQ(AddressKind(r.get()), kKindStream);
        EXPECT_EQ(AddressProtocol(r.get()), 6u);
        EXPECT_EQ(PipeRecordFlags(r.get()), c.flags);
        std::string name(static_cast<const char*>(PipeRecordName(r.get())), PipeRecordNameBytes(r.get()));
        EXPECT_EQ(name, std::string(c.stored) + '\0');
        if (c.withExtra) {
            EXPECT_EQ(PipeRecordExtraOffset(r.get()), 25u);
            EXPECT_EQ(Bytes(r.get()).substr(25), std::string(extra, 20));
        }
    }
}

TEST_F(AddressRecords, WidePipeRecordLayout)
{
    const char extra[20] = {42};
    RecordPtr plain(PipeAddressFromNameW(L"abc", nullptr, 0));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->size, 12u + 18 + 8);
    EXPECT_EQ(plain->type, kAddressTypePipe);
    EXPECT_EQ(PipeRecordFlags(plain.get()), kPipeFlagWide);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(PipeRecordName(plain.get()))), L"\\\\.\\pipe\\abc");
    EXPECT_EQ(PipeRecordNameBytes(plain.get()), 26u);

    RecordPtr withExtra(PipeAddressFromNameW(L"abc", extra, 20));
    ASSERT_TRUE(withExtra);
    EXPECT_EQ(withExtra->size, 58u);
    EXPECT_EQ(PipeRecordFlags(withExtra.get()), 1u | 38u << 1);
    EXPECT_EQ(Bytes(withExtra.get()).substr(38), std::string(extra, 20));

    RecordPtr remote(PipeAddressFromNameW(L"\\\\host\\pipe\\abc", nullptr, 0));
    ASSERT_TRUE(remote);
    EXPECT_EQ(remote->size, 12u + 2 * 16);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(PipeRecordName(remote.get()))), L"\\\\host\\pipe\\abc");
}

TEST_F(AddressRecords, PipeRecordRefusals)
{
    EXPECT_EQ(PipeAddressFromNameA(nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(PipeAddressFromNameW(nullptr, nullptr, 0), nullptr);
    // Extra data behind a name this long would need an offset beyond the flags word's 16 bits.
    std::string longName(70000, 'n');
    char extra[4] = {};
    EXPECT_EQ(PipeAddressFromNameA(longName.c_str(), extra, 4), nullptr);
    RecordPtr noExtra(PipeAddressFromNameA(longName.c_str(), nullptr, 0));
    ASSERT_TRUE(noExtra);
    EXPECT_EQ(noExtra->size, 12u + 9 + 70000 + 1);
    BlockAllocFailAfter(0);
    EXPECT_EQ(PipeAddressFromNameA("abc", nullptr, 0), nullptr);
    EXPECT_EQ(PipeAddressFromNameW(L"abc", nullptr, 0), nullptr);
    BlockAllocFailAfter(-1);
}

// An IPv4 record in host order: 127.0.0.1 port 50001.
struct Ipv4Record {
    uint32_t size, type, address;
    uint16_t port;
};

TEST_F(AddressRecords, Ipv4FamilyDataAndShortRecords)
{
    Ipv4Record full = {14, kAddressTypeTcp, 0x7F000001, 50001};
    auto* r = reinterpret_cast<AddressRecord*>(&full);
    EXPECT_EQ(Ipv4RecordAddress(r), 0x7F000001u);
    EXPECT_EQ(Ipv4RecordPort(r), 50001);
    full.size = 12;  // port missing: any address, any port
    EXPECT_EQ(Ipv4RecordAddress(r), 0u);
    EXPECT_EQ(Ipv4RecordPort(r), 0);
}

TEST_F(AddressRecords, CompareOrdersByPresenceSizeThenUnsignedBytes)
{
    Ipv4Record a = {14, kAddressTypeTcp, 0x7F000001, 1};
    Ipv4Record b = a;
    Ipv4Record high = a;
    high.port = 0x80;  // a byte above 0x7F must sort after, not before
    AddressRecord defaultLocal = {8, kAddressTypeTcp};
    AddressRecord defaultHigh = {8, 0xFFFFFFFF};
    Ipv4Record udp = {14, kAddressTypeUdp, 0x7F000001, 1};
    auto* ra = reinterpret_cast<AddressRecord*>(&a);
    auto* rb = reinterpret_cast<AddressRecord*>(&b);
    auto* rh = reinterpret_cast<AddressRecord*>(&high);
    auto* ru = reinterpret_cast<AddressRecord*>(&udp);
    struct Case {
        const AddressRecord* left;
        const AddressRecord* right;
        int expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, 0},  {ra, ra, 0},          {ra, rb, 0},
        {nullptr, ra, -1},      {ra, nullptr, 1},     {&defaultLocal, ra, -1},
        {&defaultHigh, ra, -1}, {ra, &defaultHigh, 1}, {ra, rh, -1},
        {rh, ra, 1},            {ra, ru, -1},         {ru, ra, 1},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(RecordCompare(cases[i].left, cases[i].right), cases[i].expected) << "case " << i;
}

TEST_F(AddressRecords, DuplicateCopiesExactlyTheRecord)
{
    EXPECT_EQ(RecordDuplicate(nullptr), nullptr);
    RecordPtr original(PipeAddressFromNameA("abc", "xyz", 3));
    RecordPtr copy(RecordDuplicate(original.get()));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), original.get());
    EXPECT_EQ(Bytes(copy.get()), Bytes(original.get()));
    EXPECT_EQ(RecordCompare(copy.get(), original.get()), 0);
    BlockAllocFailAfter(0);
    EXPECT_EQ(RecordDuplicate(original.get()), nullptr);
    BlockAllocFailAfter(-1);
}

}  // namespace
