#pragma once
// The host-name check of a peer certificate, over names already taken out of
// it: plain data in, a verdict out, no OpenSSL.
#include <string>
#include <vector>

namespace calyx {

enum class TCertNameKind {
    DnsName,     // a subjectAltName dNSName: its raw IA5String bytes
    IpAddress,   // a subjectAltName iPAddress: 4 or 16 raw address bytes
    CommonName,  // a subject common name, decoded to UTF-8
};

struct TCertName {
    TCertNameKind Kind;
    std::string Bytes;
};

// Whether the names cover host. An address host (IPv4 dotted quad or IPv6)
// matches only an IpAddress of the same bytes; a numeric host in any other
// spelling matches nothing. A host name (one trailing dot ignored) matches a
// DnsName, or a CommonName when there is no DnsName at all, ignoring ASCII
// case. A name holding anything but letters, digits, '-', '_' and dots
// between non-empty labels never matches, so no NUL, line end or non-ASCII
// look-alike gets through. A wildcard counts only as a whole left-most label
// "*" before at least two literal labels, and stands for exactly one label.
bool CertNamesCoverHost(const std::vector<TCertName>& names, const std::string& host);

}  // namespace calyx
