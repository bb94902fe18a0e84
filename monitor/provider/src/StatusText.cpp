#include "StatusText.h"

#include "FormatMessageText.h"

#include <map>

namespace quelstd {
namespace {

using StatusTextTable = std::map<uint32_t, const wchar_t*>;

StatusTextTable BuildStatusTextTable()
{
    static const struct {
        uint32_t status;
        const wchar_t* text;
    } kEntries[] = {
        {0x00000000, L"success"},
        {0xC0000001, L"failed"},
        {0xC000009A, L"out of memory"},
        {0xC0000002, L"not implemented"},
        {0xC0000008, L"invalid handle"},
        {0xC0000043, L"address is in use"},
        {0xC000020A, L"address is in use"},
        {0xC0000207, L"invalid address"},
        {0xC0000209, L"no more addresses"},
        {0xC0000141, L"invalid address"},
        {0xC000020B, L"address is closed"},
        {0x80000005, L"buffer overflow"},
        {0xC000000D, L"invalid parameter"},
        {0xC0000236, L"connection refused"},
        {0xC000023A, L"connection invalid"},
        {0xC0000238, L"already associated"},
        {0xC0000239, L"not associated"},
        {0xC000023B, L"connection active"},
        {0xC0000241, L"connection aborted"},
        {0xC000020D, L"connection reset"},
        {0xC00000B5, L"timed out"},
        {0xC0000237, L"graceful disconnect"},
        {0xC000021B, L"data not accepted"},
        {0xC0000016, L"more processing required"},
        {0xC0000184, L"invalid device state"},
        {0xC000023C, L"network unreachable"},
        {0xC000023D, L"host unreachable"},
        {0xC000023E, L"protocol unreachable"},
        {0xC000023F, L"port unreachable"},
        {0xC0000010, L"invalid device request"},
        {0xC0000240, L"request aborted"},
        {0xC0000023, L"buffer too small"},
        {0xC0000120, L"cancelled"},
        {0xC0000206, L"invalid buffer size"},
        {0x00000103, L"pending"},
        {0xC0000034, L"object not found"},
        {0xC0000022, L"access denied"},
    };
    StatusTextTable table;
    for (const auto& entry : kEntries)
        table.emplace(entry.status, entry.text);
    return table;
}

}  // namespace

std::wstring StatusText(uint32_t status)
{
    static const StatusTextTable table = BuildStatusTextTable();
    auto found = table.find(status);
    if (found != table.end())
        return found->second;
    return FormatBounded(L"error: %d/%08x", static_cast<int32_t>(status), status);
}

}  // namespace quelstd
