#include "AddressRecordText.h"

#include "FormatMessageText.h"

#include <windows.h>

namespace quelstd {
namespace {

constexpr uint8_t kFamilyIpv4 = 2;
constexpr uint8_t kFamilyPipe = 0x41;
constexpr size_t kTypeWordEnd = 8;
constexpr size_t kIpv4RecordSize = 14;
constexpr size_t kPipeNameOffset = 12;
constexpr uint32_t kPipeNameIsUtf16 = 0x1;

std::wstring AnsiToWide(const char* text, size_t length)
{
    if (length == 0)
        return {};
    int count = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring wide(static_cast<size_t>(count > 0 ? count : 0), L'\0');
    if (count > 0)
        MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), &wide[0], count);
    return wide;
}

// The name runs from offset 12 to the extra data, or to the record's end; it
// ends at its terminator or at the end of that area, whichever comes first.
// Extra data that starts at offset 12 or before it leaves no room for a name.
std::wstring PipeName(PayloadView record)
{
    uint32_t flags = record.U32(kTypeWordEnd);
    size_t extraOffset = (flags >> 1) & 0xFFFF;
    PayloadView area = record.Tail(kPipeNameOffset);
    if (extraOffset != 0)
        area = area.Prefix(extraOffset > kPipeNameOffset ? extraOffset - kPipeNameOffset : 0);

    if (flags & kPipeNameIsUtf16) {
        std::wstring name;
        for (size_t at = 0; at + 1 < area.size(); at += 2) {
            wchar_t unit = static_cast<wchar_t>(area.U16(at));
            if (unit == L'\0')
                break;
            name.push_back(unit);
        }
        return name;
    }
    const char* bytes = reinterpret_cast<const char*>(area.data());
    size_t length = 0;
    while (length < area.size() && bytes[length] != '\0')
        ++length;
    return AnsiToWide(bytes, length);
}

}  // namespace

PayloadView RecordBytes(PayloadView at) { return at.Prefix(at.U32(0)); }

uint32_t RecordTypeWord(PayloadView record) { return record.size() >= kTypeWordEnd ? record.U32(4) : 0; }

uint16_t RecordPort(PayloadView record) { return record.size() >= kIpv4RecordSize ? record.U16(12) : 0; }

const wchar_t* ProtocolName(uint32_t typeWord)
{
    switch (typeWord) {
    case kTypeWordTcp: return L"TCP";
    case kTypeWordUdp: return L"UDP";
    case kTypeWordPipe: return L"PIPE";
    default: return L"(unknown protocol)";
    }
}

std::wstring DottedAddress(uint32_t address)
{
    return FormatBounded(L"%u.%u.%u.%u", (address >> 24) & 0xFF, (address >> 16) & 0xFF, (address >> 8) & 0xFF,
                         address & 0xFF);
}

std::wstring EndpointText(PayloadView record)
{
    switch (RecordTypeWord(record) & 0xFF) {
    case kFamilyIpv4: {
        // A record too short for address and port stands for 0.0.0.0 port 0.
        bool whole = record.size() >= kIpv4RecordSize;
        return FormatBounded(L"%ls:%d", DottedAddress(whole ? record.U32(8) : 0).c_str(), RecordPort(record));
    }
    case kFamilyPipe:
        if (record.size() >= kPipeNameOffset)
            return PipeName(record);
        break;
    }
    return L"(unknown address)";
}

}  // namespace quelstd
