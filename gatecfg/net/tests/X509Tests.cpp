// Certificates made by Debian's openssl, read through TX509Base and compared
// with what `openssl x509` printed for them.
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "OpenSslGenuineFixture.h"
#include "net/CalyxUtils.h"
#include "net/CalyxX509.h"

namespace ssltest {
namespace {

using X509Test = GenuineOpenSslTest;

// A TX509Base holding a copy of the named certificate.
TX509Base* Certificate(const std::string& name)
{
    X509* cert = ReadCert(name + ".pem");
    EXPECT_NE(cert, nullptr) << name;
    TX509Base* wrapper = rtl::Create<TX509Base>(nullptr, cert);
    libeay::X509_free(cert);
    return wrapper;
}

TEST_F(X509Test, AccessorsGiveWhatOpensslPrints)
{
    for (const char* name : {"server", "client", "cn-wild", "cn-two", "zerohash", "expired", "ca"}) {
        SCOPED_TRACE(name);
        const std::vector<std::string> expect = CertFileLines(std::string(name) + ".expect");
        ASSERT_EQ(expect.size(), 3u);
        TOwned<TX509Base> cert(Certificate(name));
        EXPECT_EQ(cert->SubjectOneLine(), expect[0]);
        EXPECT_EQ(cert->GetSerialNum(), int(std::strtoul(expect[1].c_str(), nullptr, 16)));
        EXPECT_EQ(HexDump(cert->Sha1Hash().data(), int(cert->Sha1Hash().size()), ':'), expect[2]);
        EXPECT_EQ(cert->VerifyResult, 50);
        EXPECT_EQ(cert->VerifyErrMsg(), "application verification failure");
    }
}

TEST_F(X509Test, SubjectCommonNamesStandOneALine)
{
    TOwned<TX509Base> two(Certificate("cn-two"));
    EXPECT_EQ(two->SubjectCNList(), "first.example.com\r\nsecond.example.com");
    TOwned<TX509Base> server(Certificate("server"));
    EXPECT_EQ(server->SubjectCNList(), "gate.example.com");
}

TEST_F(X509Test, ExtensionsGiveWhatOpensslPrints)
{
    TOwned<TX509Base> cert(Certificate("server"));
    struct TCase {
        const char* Name;
        bool Critical;
    };
    for (const TCase& c : {TCase{"subjectAltName", false}, TCase{"basicConstraints", false},
                           TCase{"keyUsage", true}, TCase{"extendedKeyUsage", false},
                           TCase{"subjectKeyIdentifier", false},
                           TCase{"certificatePolicies", false}}) {
        SCOPED_TRACE(c.Name);
        const int index = cert->ExtensionByName(c.Name);
        ASSERT_GE(index, 0);
        EXPECT_EQ(cert->ExtensionByName(rtl::UpperCase(c.Name)), index);
        const TExtension ext = cert->GetExtension(index);
        EXPECT_EQ(ext.ShortName, c.Name);
        EXPECT_EQ(ext.Critical, c.Critical);
        EXPECT_EQ(ext.Value, JoinCrLf(CertFileLines(std::string("server.ext.") + c.Name)));
    }
    EXPECT_EQ(cert->GetSubjectAltName().Value,
              JoinCrLf(CertFileLines("server.ext.subjectAltName")));
    // An extension OpenSSL does not know: its object text and raw bytes
    // (the UTF8String "hello").
    const int unknown = cert->ExtensionByName("1.2.3.4");
    ASSERT_GE(unknown, 0);
    const TExtension ext = cert->GetExtension(unknown);
    EXPECT_EQ(ext.ShortName, "1.2.3.4");
    EXPECT_EQ(ext.Value, "0C:05:68:65:6C:6C:6F");
    EXPECT_EQ(cert->ExtensionByName("nameConstraints"), -1);
}

TEST_F(X509Test, ExtensionIndicesOutsideTheListRaise)
{
    TOwned<TX509Base> cert(Certificate("server"));
    const int count = cert->ExtensionCount();
    EXPECT_GE(count, 7);
    for (int index : {count, -1})
        EXPECT_EQ(MessageOf<EX509Exception>([&] { cert->GetExtension(index); }),
                  "Extension index out of bounds")
            << index;
    TOwned<TX509Base> none(rtl::Create<TX509Base>(nullptr));
    EXPECT_EQ(none->GetExtension(0).ShortName, "");
    EXPECT_EQ(none->ExtensionByName("subjectAltName"), -1);
    EXPECT_EQ(none->GetSubjectAltName().Value, "");
    EXPECT_EQ(none->GetSerialNum(), -1);
    EXPECT_EQ(none->SubjectOneLine(), "");
    EXPECT_EQ(none->VerifyErrMsg(), "");
    EXPECT_EQ(none->Sha1Hash(), "");
    EXPECT_FALSE(none->PostConnectionCheck("gate.example.com"));
}

TEST_F(X509Test, PostConnectionCheckAcceptsOnlyNamesThatCoverTheHost)
{
    struct TCase {
        const char* Cert;
        const char* Host;
        bool Accepted;
    };
    const TCase cases[] = {
        {"server", "gate.example.com", false},  // common name beside DNS names
        {"server", "GATE.example.com", false},
        {"server", "localhost", true},           // DNS entry
        {"server", "127.0.0.1", true},           // IP entry, exactly
        {"server", "127.0.0.10", false},
        {"server", "127.0.0.", false},
        {"server", "shop.example.org", true},    // DNS *.example.org
        {"server", "a.b.example.org", false},
        {"server", "example.org", false},
        {"server", "example.com", false},        // DNS *.com is refused
        {"server", "anything.com", false},
        {"server", "axb.example.net", false},    // DNS a*b.example.net is refused
        {"server", "", false},
        {"cn-wild", "gate.example.com", true},   // CN *.example.com
        {"cn-wild", "a.b.example.com", false},
        {"cn-wild", "example.com", false},
        {"cn-star", "gate.example.com", false},  // CN *
        {"cn-star", "localhost", false},
        {"cn-two", "second.example.com", true},
        {"cn-two", "third.example.com", false},
        {"names", "www.example.com", true},
        {"names", "WWW.Example.COM", true},
        {"names", "www.example.com.", true},     // trailing dot
        {"names", "a.wild.example.com", true},   // one label, not two
        {"names", "a.b.wild.example.com", false},
        {"names", "wild.example.com", false},
        {"names", "a.b.example.net", false},     // *.*.example.net is refused
        {"names", "xn--bcher-kva.example", true},
        {"names", "cn.example.com", false},      // CN ignored beside DNS names
        {"names", "10.0.0.1", true},
        {"names", "10.9.9.9", false},            // an address as a DNS name
        {"names", "10.0.0.01", false},
        {"names", "::ffff:10.0.0.1", false},
        {"ip-only", "host.example.com", true},   // CN used without DNS names
        {"ip-only", "10.1.2.3", true},
        {"cn-ip", "192.168.7.7", false},         // an address as a CN
        {"ip6", "2001:db8::5", true},            // 16-byte entries
        {"ip6", "2001:0DB8:0:0:0:0:0:5", true},
        {"ip6", "::1", true},
        {"ip6", "0:0:0:0:0:0:0:1", true},
        {"ip6", "::2", false},
        {"ip6", "ip6.example", true},
        // Names a printer would cut at a NUL or split at a line end, and
        // look-alikes a code-page conversion would fold.
        {"nul-dns", "www.bank.example", false},
        {"nul-dns", "nul.example", true},
        {"crlf-dns", "victim.example", false},
        {"crlf-dns", "10.9.9.9", false},
        {"crlf-dns", "mine.example", false},
        {"crlf-dns", "crlf.example", true},
        {"nul-cn", "www.bank.example", false},
        {"crlf-cn", "victim.example", false},
        {"crlf-cn", "mine.example", false},
        {"utf8-cn", "www.bank.example", false},  // fullwidth letters
        {"utf8-cn", "www.utf8.example", true},
        {"bmp-cn", "www.bank.example", false},   // a Cyrillic a
        {"bmp-cn", "www.bmp.example", true},
    };
    for (const TCase& c : cases) {
        TOwned<TX509Base> cert(Certificate(c.Cert));
        EXPECT_EQ(cert->PostConnectionCheck(c.Host), c.Accepted) << c.Cert << " / " << c.Host;
    }
}

TEST_F(X509Test, TheListFindsACertificateWhoseFingerprintHoldsAZeroByte)
{
    X509* zero = ReadCert("zerohash.pem");
    X509* server = ReadCert("server.pem");
    X509* client = ReadCert("client.pem");
    TX509List list(nullptr);
    list.Add(server);
    TX509Base* added = list.Add(zero);
    X509* wild = ReadCert("cn-wild.pem");
    list.Add(wild);
    libeay::X509_free(wild);  // the list keeps a copy
    const std::string hash = added->Sha1Hash();
    ASSERT_EQ(hash.size(), 20u);
    const size_t zeroAt = hash.find('\0');
    ASSERT_LT(zeroAt, 19u) << "the made certificate lost its zero byte";
    EXPECT_EQ(list.Find(zero), added);
    EXPECT_EQ(list.FindBySha1Hash(hash), added);
    // A C-string comparison would stop at the zero byte.
    std::string other = hash;
    other[19] = char(other[19] ^ 0x5A);
    EXPECT_EQ(list.FindBySha1Hash(other), nullptr);
    EXPECT_EQ(list.FindBySha1Hash(hash.substr(0, zeroAt)), nullptr);
    EXPECT_EQ(list.Find(client), nullptr);
    EXPECT_EQ(list.Count(), 3);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Find(zero), nullptr);
    libeay::X509_free(zero);
    libeay::X509_free(server);
    libeay::X509_free(client);
}

TEST_F(X509Test, ReadingAndWritingThroughBios)
{
    TOwned<TX509Base> cert(rtl::Create<TX509Base>(nullptr));
    BIO* in = FilesBio({"server.pem", "server-enc.key"});
    cert->ReadFromBio(in, true, "gatepass");
    libeay::BIO_free(in);
    ASSERT_NE(cert->PrivateKey(), nullptr);
    EXPECT_EQ(cert->SubjectCNList(), "gate.example.com");

    BIO* out = libeay::BIO_new(libeay::BIO_s_mem());
    cert->WriteToBio(out, true, true);
    std::string text(libeay::BIO_ctrl_pending(out), '\0');
    libeay::BIO_read(out, &text[0], int(text.size()));
    EXPECT_EQ(text.compare(0, 12, "Certificate:"), 0);
    EXPECT_NE(text.find("PRIVATE KEY-----"), std::string::npos);
    EXPECT_NE(text.find("-----BEGIN CERTIFICATE-----"), std::string::npos);
    libeay::BIO_free(out);

    // What was written reads back as the same certificate and key.
    BIO* again = libeay::BIO_new_mem_buf(text.data(), int(text.size()));
    TOwned<TX509Base> copy(rtl::Create<TX509Base>(nullptr));
    copy->ReadFromBio(again, true, "");
    libeay::BIO_free(again);
    EXPECT_EQ(copy->Sha1Hash(), cert->Sha1Hash());
    EXPECT_NE(copy->PrivateKey(), nullptr);

    // A certificate that the held key does not sign for.
    BIO* client = FilesBio({"client.pem"});
    EXPECT_EQ(MessageOf([&] { cert->ReadFromBio(client, false, ""); }),
              "Certificate and private key do not match");
    libeay::BIO_free(client);
    EXPECT_EQ(cert->SubjectCNList(), "gate.example.com");
}

TEST_F(X509Test, BioFailuresRaiseTheirTexts)
{
    TOwned<TX509Base> empty(rtl::Create<TX509Base>(nullptr));
    TOwned<TX509Base> server(Certificate("server"));
    BIO* out = libeay::BIO_new(libeay::BIO_s_mem());
    BIO* garbage = FilesBio({"no-items.pem"});
    BIO* wrongPass = FilesBio({"server.pem", "server-enc.key"});
    BIO* mismatch = FilesBio({"server.pem", "client.key"});
    struct TCase {
        const char* Name;
        std::function<void()> Call;
        std::string Message;
        bool Prefix;
    };
    const TCase cases[] = {
        {"no BIO to read", [&] { empty->ReadFromBio(nullptr, false, ""); }, "BIO not assigned", false},
        {"no BIO to write", [&] { server->WriteToBio(nullptr, false, false); }, "BIO not assigned", false},
        {"nothing to write", [&] { empty->WriteToBio(out, false, false); }, "X509 not assigned", false},
        {"no key to write", [&] { server->WriteToBio(out, true, false); }, "Private key not assigned",
         false},
        {"no certificate", [&] { empty->ReadFromBio(garbage, false, ""); },
         "\r\nError reading certificate from BIO\r\n", true},
        {"wrong password", [&] { empty->ReadFromBio(wrongPass, true, "wrong"); },
         "\r\nError reading private key from BIO\r\n", true},
        {"key of another certificate", [&] { empty->ReadFromBio(mismatch, true, ""); },
         "Certificate and private key do not match", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectMessage(MessageOf<EX509Exception>(c.Call), c.Message, c.Prefix);
    }
    EXPECT_EQ(empty->X509Handle(), nullptr);
    for (BIO* bio : {out, garbage, wrongPass, mismatch})
        libeay::BIO_free(bio);
}

}  // namespace
}  // namespace ssltest
