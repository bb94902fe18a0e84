#include "net/CalyxHostNameCheck.h"
#include "net/CalyxLibrary.h"

#include <algorithm>
#include <cstdlib>

namespace calyx {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsLabelChar(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) { return lib::CompareText(a, b) == 0; }

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

bool IsHostName(const std::vector<std::string>& labels)
{
    for (const std::string& label : labels)
        if (label.empty() || !std::all_of(label.begin(), label.end(), IsLabelChar))
            return false;
    return true;
}

// Exactly four decimal numbers up to 255, without leading zeros (which some
// resolvers read as octal).
bool ParseIPv4(const std::string& text, std::string& bytes)
{
    const std::vector<std::string> parts = Split(text, '.');
    if (parts.size() != 4)
        return false;
    std::string out;
    for (const std::string& part : parts) {
        if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), IsDigit) ||
            (part.size() > 1 && part[0] == '0'))
            return false;
        const int value = std::atoi(part.c_str());
        if (value > 255)
            return false;
        out += char(value);
    }
    bytes = out;
    return true;
}

// Groups of one to four hex digits separated by ':', the last one of the
// whole address possibly a dotted quad; appends their bytes.
bool ParseIPv6Groups(const std::string& text, bool endsAddress, std::string& bytes)
{
    if (text.empty())
        return true;
    const std::vector<std::string> groups = Split(text, ':');
    for (size_t i = 0; i < groups.size(); ++i) {
        const std::string& group = groups[i];
        if (endsAddress && i + 1 == groups.size() && group.find('.') != std::string::npos) {
            std::string quad;
            if (!ParseIPv4(group, quad))
                return false;
            bytes += quad;
            continue;
        }
        if (group.empty() || group.size() > 4 || !std::all_of(group.begin(), group.end(), IsHexDigit))
            return false;
        const unsigned long value = std::strtoul(group.c_str(), nullptr, 16);
        bytes += char(value >> 8);
        bytes += char(value & 0xFF);
    }
    return true;
}

bool ParseIPv6(const std::string& text, std::string& bytes)
{
    const size_t gap = text.find("::");
    std::string head, tail;
    if (gap == std::string::npos) {
        if (!ParseIPv6Groups(text, true, head) || head.size() != 16)
            return false;
        bytes = head;
        return true;
    }
    if (text.find("::", gap + 1) != std::string::npos || !ParseIPv6Groups(text.substr(0, gap), false, head) ||
        !ParseIPv6Groups(text.substr(gap + 2), true, tail) || head.size() + tail.size() > 14)
        return false;
    bytes = head + std::string(16 - head.size() - tail.size(), '\0') + tail;
    return true;
}

bool NameCoversHost(const std::string& name, const std::vector<std::string>& hostLabels)
{
    std::vector<std::string> labels = Split(name, '.');
    const bool wildcard = labels.front() == "*";
    if (wildcard)
        labels.erase(labels.begin());
    if (!IsHostName(labels) || labels.size() != hostLabels.size() - (wildcard ? 1 : 0))
        return false;
    // A wildcard never covers a top-level label alone ("*.com").
    if (wildcard && labels.size() < 2)
        return false;
    return std::equal(labels.begin(), labels.end(), hostLabels.end() - labels.size(), EqualIgnoringCase);
}

}  // namespace

bool CertNamesCoverHost(const std::vector<TCertName>& names, const std::string& host)
{
    std::string address;
    if (host.find(':') != std::string::npos) {
        if (!ParseIPv6(host, address))
            return false;
    } else {
        std::string plain = host;
        if (!plain.empty() && plain.back() == '.')
            plain.pop_back();
        std::vector<std::string> labels = Split(plain, '.');
        // No top-level domain is all digits: such a host is an address or nothing.
        const std::string& last = labels.back();
        if (!last.empty() && std::all_of(last.begin(), last.end(), IsDigit)) {
            if (!ParseIPv4(host, address))
                return false;
        } else {
            if (!IsHostName(labels))
                return false;
            const bool anyDnsName = std::any_of(
                names.begin(), names.end(), [](const TCertName& name) { return name.Kind == TCertNameKind::DnsName; });
            const TCertNameKind kind = anyDnsName ? TCertNameKind::DnsName : TCertNameKind::CommonName;
            return std::any_of(names.begin(), names.end(), [&](const TCertName& name) {
                return name.Kind == kind && NameCoversHost(name.Bytes, labels);
            });
        }
    }
    return std::any_of(names.begin(), names.end(), [&](const TCertName& name) {
        return name.Kind == TCertNameKind::IpAddress && name.Bytes == address;
    });
}

}  // namespace calyx
