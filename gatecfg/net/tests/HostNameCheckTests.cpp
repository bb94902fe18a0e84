// The host-name check over names as they come out of a certificate.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/CalyxHostNameCheck.h"

namespace {

using namespace calyx;

TCertName Dns(const std::string& bytes) { return {TCertNameKind::DnsName, bytes}; }

TCertName Ip(const std::string& bytes) { return {TCertNameKind::IpAddress, bytes}; }

TCertName Cn(const std::string& bytes) { return {TCertNameKind::CommonName, bytes}; }

const std::string kLoopback4("\x7F\x00\x00\x01", 4);
const std::string kLoopback6(std::string(15, '\0') + '\x01');

TEST(CertNamesCoverHost, DecidesOnTheNamesOwnBytes)
{
    struct TCase {
        std::vector<TCertName> Names;
        std::string Host;
        bool Covered;
    };
    const TCase cases[] = {
        {{Dns("gate.example.com")}, "gate.example.com", true},
        {{Dns("GATE.Example.com")}, "gate.example.COM", true},
        {{Dns("gate.example.com")}, "gate.example.com.", true},  // one trailing dot
        {{Dns("gate.example.com")}, "gate.example.com..", false},
        {{Dns("gate.example.com")}, "gate.example.co", false},
        {{Dns("gate.example.com")}, "x.gate.example.com", false},
        {{Dns("gate.example.com")}, "", false},
        {{Dns("")}, "gate.example.com", false},
        {{}, "gate.example.com", false},
        // A wildcard is one whole left-most label before two literal ones.
        {{Dns("*.example.com")}, "gate.example.com", true},
        {{Dns("*.example.com")}, "a.b.example.com", false},
        {{Dns("*.example.com")}, "example.com", false},
        {{Dns("*.example.com")}, "gate.example.org", false},
        {{Dns("*.co.uk")}, "shop.co.uk", true},
        {{Dns("*")}, "gate", false},
        {{Dns("*.*")}, "gate.example", false},
        {{Dns("*.com")}, "example.com", false},
        {{Dns("a*b.example.com")}, "axb.example.com", false},
        {{Dns("g*.example.com")}, "gate.example.com", false},
        {{Dns("*.*.example.com")}, "a.b.example.com", false},
        {{Dns("*.example.*")}, "gate.example.com", false},
        {{Dns("*..com")}, "a..com", false},
        {{Dns("*.example.com.")}, "gate.example.com.", false},
        {{Dns("?.example.com")}, "a.example.com", false},
        {{Dns("[a-z].example.com")}, "a.example.com", false},
        {{Dns("*.example.org")}, "*.example.org", false},
        // Bytes a printer would cut or split, and look-alikes.
        {{Dns(std::string("www.bank.example\0.evil.example", 30))}, "www.bank.example", false},
        {{Dns("mine.example\r\nDNS=victim.example")}, "victim.example", false},
        {{Dns("mine.example\r\nIP Address=10.9.9.9")}, "10.9.9.9", false},
        {{Cn("mine.example\r\nvictim.example")}, "victim.example", false},
        {{Cn("\uFF57\uFF57\uFF57.bank.example")}, "www.bank.example", false},
        {{Cn("www.b\u0430nk.example")}, "www.bank.example", false},
        {{Dns("xn--bcher-kva.example")}, "XN--BCHER-KVA.example", true},
        {{Dns("xn--bcher-kva.example")}, "b\u00FCcher.example", false},
        // The common name counts only without any DNS name.
        {{Cn("cn.example.com"), Dns("dns.example.com")}, "cn.example.com", false},
        {{Cn("cn.example.com"), Ip(kLoopback4)}, "cn.example.com", true},
        {{Cn("*.example.com")}, "gate.example.com", true},
        {{Cn("first.example.com"), Cn("second.example.com")}, "second.example.com", true},
        // Addresses match only address entries, byte for byte.
        {{Ip(kLoopback4)}, "127.0.0.1", true},
        {{Ip(kLoopback4)}, "127.0.0.2", false},
        {{Ip(kLoopback4)}, "127.0.0.1.", false},
        {{Ip(kLoopback4)}, "127.1", false},
        {{Ip(kLoopback4)}, "0177.0.0.1", false},
        {{Ip(kLoopback4)}, "2130706433", false},
        {{Ip(kLoopback4)}, "::ffff:127.0.0.1", false},
        {{Dns("127.0.0.1"), Cn("127.0.0.1")}, "127.0.0.1", false},
        {{Cn("127.0.0.1")}, "127.0.0.1", false},
        {{Dns("*.0.0.1")}, "127.0.0.1", false},
        {{Ip(kLoopback6)}, "::1", true},
        {{Ip(kLoopback6)}, "0:0:0:0:0:0:0:1", true},
        {{Ip(kLoopback6)}, "::0.0.0.1", true},
        {{Ip(kLoopback6)}, "::2", false},
        {{Ip(kLoopback6)}, ":::1", false},
        {{Ip(kLoopback6)}, "[::1]", false},
        {{Ip(kLoopback6)}, "0:0:0:0:0:0:0:0:1", false},
        {{Dns("::1")}, "::1", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(CertNamesCoverHost(c.Names, c.Host), c.Covered)
            << '"' << c.Host << '"' << " against " << c.Names.size() << " names";
}

}  // namespace
