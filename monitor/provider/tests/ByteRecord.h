// Payloads built byte by byte, little-endian, as the log service writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quelstd_test {

class Bytes {
public:
    Bytes& U8(uint8_t v)
    {
        bytes_.push_back(v);
        return *this;
    }
    Bytes& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    // The characters of text, without a terminator.
    Bytes& Ansi(const std::string& text)
    {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        return *this;
    }
    Bytes& Wide(const std::wstring& text)
    {
        for (wchar_t c : text)
            U16(static_cast<uint16_t>(c));
        return *this;
    }
    Bytes& Append(const Bytes& other)
    {
        bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
        return *this;
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    const uint8_t* data() const { return bytes_.data(); }
    long size() const { return static_cast<long>(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
};

constexpr uint32_t kTcp = 0x00060102;
constexpr uint32_t kUdp = 0x00110202;
constexpr uint32_t kPipe = 0x00060141;

inline Bytes Ipv4Record(uint32_t typeWord, uint32_t address, uint16_t port)
{
    return Bytes().U32(14).U32(typeWord).U32(address).U16(port);
}

// A pipe record with flags 0 and an ANSI name with its NUL.
inline Bytes AnsiPipeRecord(const std::string& name)
{
    return Bytes().U32(static_cast<uint32_t>(12 + name.size() + 1)).U32(kPipe).U32(0).Ansi(name).U8(0);
}

inline Bytes WidePipeRecord(const std::wstring& name)
{
    return Bytes().U32(static_cast<uint32_t>(12 + 2 * (name.size() + 1))).U32(kPipe).U32(1).Wide(name).U16(0);
}

}  // namespace quelstd_test
