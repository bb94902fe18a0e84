// The OpenSSL binding against the stand-in DLLs that the build makes from the
// binding's entry lists, each variant in a folder of its own beside this
// program (which has no OpenSSL DLL beside it).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "net/CalyxLIBEAY.h"
#include "net/CalyxSSLEAY.h"
#include "net/CalyxSslBase.h"
#include "net/CalyxUnits.h"
#include "net/CalyxUtils.h"
#include "OpenSslTestSupport.h"
#include "rtl/SysUtils.h"

namespace {

using namespace calyx;
using ssltest::LibeayEntriesSet;
using ssltest::MessageOf;
using ssltest::SsleayEntriesSet;

std::string StandIn(const std::string& variant, const std::string& dll)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    dir.erase(dir.find_last_of('\\') + 1);
    return dir + variant + "\\" + dll;
}

bool ModuleMapped(const std::string& path)
{
    return GetModuleHandleA(path.c_str()) != nullptr;
}

struct OpenSslBindingTest : ::testing::Test {
    void SetUp() override
    {
        StartCalyxUnits();
        SetEnvironmentVariableA("CX_STANDIN_SSLEAY", nullptr);
        SetEnvironmentVariableA("CX_STANDIN_LIBRARY_INIT", nullptr);
        Use("complete", "complete");
    }
    void TearDown() override
    {
        while (SslUsageCount() > 0)
            UnloadSsl();
        UnloadSsleay();
        UnloadLibeay();
        SetLibeayDllName("LIBEAY32.DLL");
        SetSsleayDllName("SSLEAY32.DLL");
        SetEnvironmentVariableA("CX_STANDIN_SSLEAY", nullptr);
        SetEnvironmentVariableA("CX_STANDIN_LIBRARY_INIT", nullptr);
        StopCalyxUnits();
    }
    void Use(const std::string& libeayVariant, const std::string& ssleayVariant)
    {
        SetLibeayDllName(StandIn(libeayVariant, "LIBEAY32.DLL"));
        SetSsleayDllName(StandIn(ssleayVariant, "SSLEAY32.DLL"));
    }
};

TEST_F(OpenSslBindingTest, MissingDllsRaiseTheirTextsAndLeaveNothingLoaded)
{
    SetSsleayDllName("SSLEAY32.DLL");
    SetLibeayDllName("LIBEAY32.DLL");
    EXPECT_EQ(MessageOf([] { LoadSsleay(); }), "File not found: SSLEAY32.DLL");
    EXPECT_EQ(SsleayModulePath(), "*NOT_LOADED*");
    EXPECT_FALSE(SsleayLoaded());
    // The crypto loader shows the system's error, not the failed handle.
    EXPECT_EQ(MessageOf([] { LoadLibeay(); }),
              "Unable to load LIBEAY32.DLL. Error #126\r\n" + rtl::SysErrorMessage(126));
    EXPECT_EQ(LibeayModulePath(), "*NOT LOADED*");
    EXPECT_THROW(LoadSsl(), ECxLibeayException);
    EXPECT_EQ(SslUsageCount(), 0);
}

TEST_F(OpenSslBindingTest, CompleteStandInsLoadWithEveryEntryAndUnloadClean)
{
    ASSERT_TRUE(LoadLibeay());
    ASSERT_TRUE(LoadSsleay());
    EXPECT_EQ(LibeayEntriesSet(), 196);
    EXPECT_EQ(SsleayEntriesSet(), 109);
    EXPECT_EQ(rtl::CompareText(LibeayModulePath(), StandIn("complete", "LIBEAY32.DLL")), 0);
    EXPECT_EQ(rtl::CompareText(SsleayModulePath(), StandIn("complete", "SSLEAY32.DLL")), 0);
    EXPECT_EQ(OpenSslVersionText(), "OpenSSL stand-in");
    EXPECT_TRUE(LoadLibeay());  // already loaded
    UnloadSsleay();
    UnloadLibeay();
    EXPECT_EQ(LibeayEntriesSet(), 0);
    EXPECT_EQ(SsleayEntriesSet(), 0);
    EXPECT_FALSE(ModuleMapped(StandIn("complete", "LIBEAY32.DLL")));
    EXPECT_FALSE(ModuleMapped(StandIn("complete", "SSLEAY32.DLL")));
    EXPECT_EQ(SsleayModulePath(), "*NOT_LOADED*");
    EXPECT_EQ(LibeayModulePath(), "*NOT LOADED*");
    EXPECT_EQ(LibeayVersionNumber(), 0u);
}

TEST_F(OpenSslBindingTest, AMissingEntryLoadsNothingAndFailsAgainOnTheNextCall)
{
    struct TCase {
        const char* Variant;
        bool Ssl;
    };
    for (const TCase& c : {TCase{"no-ctx-new", true}, TCase{"no-bio-new", false},
                           TCase{"no-ssleay", false}}) {
        SCOPED_TRACE(c.Variant);
        const std::string dll = StandIn(c.Variant, c.Ssl ? "SSLEAY32.DLL" : "LIBEAY32.DLL");
        if (c.Ssl)
            SetSsleayDllName(dll);
        else
            SetLibeayDllName(dll);
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_FALSE(c.Ssl ? LoadSsleay() : LoadLibeay());
            EXPECT_FALSE(c.Ssl ? SsleayLoaded() : LibeayLoaded());
            EXPECT_EQ(c.Ssl ? SsleayEntriesSet() : LibeayEntriesSet(), 0);
            EXPECT_EQ(c.Ssl ? SsleayModulePath() : LibeayModulePath(),
                      c.Ssl ? "*NOT_LOADED*" : "*NOT LOADED*");
            EXPECT_FALSE(ModuleMapped(dll));
        }
    }
}

TEST_F(OpenSslBindingTest, TheCryptoLibraryMayLackX509PkeyFree)
{
    Use("no-pkey-free", "complete");
    EXPECT_TRUE(LoadLibeay());
    EXPECT_EQ(libeay::X509_PKEY_free, nullptr);
    EXPECT_EQ(LibeayEntriesSet(), 195);
}

TEST_F(OpenSslBindingTest, TheVersionNumberSwitchesTheCommandNumbers)
{
    struct TCase {
        const char* Version;
        bool Narrow;
        TOpenSslCommands Commands;
    };
    const TOpenSslCommands older = {12, 6, 4099, 4100};
    const TOpenSslCommands newer = {14, 8, 4100, 4096};
    for (const TCase& c : {TCase{"0x00907FFF", false, older}, TCase{"0x00908000", false, newer},
                           TCase{"0x009080CE", false, newer}, TCase{"0x009080CF", true, newer},
                           TCase{"0x009080EE", true, newer}, TCase{"0x009080EF", false, newer},
                           TCase{"0x100020EF", false, newer}}) {
        SCOPED_TRACE(c.Version);
        SetEnvironmentVariableA("CX_STANDIN_SSLEAY", c.Version);
        ASSERT_TRUE(LoadLibeay());
        EXPECT_EQ(LibeayVersionNumber(), std::strtoul(c.Version, nullptr, 16));
        EXPECT_EQ(LibeayNarrowVersion(), c.Narrow);
        const TOpenSslCommands& got = OpenSslCommands();
        EXPECT_EQ(got.ExtraChainCert, c.Commands.ExtraChainCert);
        EXPECT_EQ(got.GetSessionReused, c.Commands.GetSessionReused);
        EXPECT_EQ(got.MbstringUniv, c.Commands.MbstringUniv);
        EXPECT_EQ(got.MbstringUtf8, c.Commands.MbstringUtf8);
        UnloadLibeay();
    }
    EXPECT_EQ(OpenSslCommands().GetSessionReused, 6);
}

// Records the control calls the shorthands make.
struct TControlCall {
    bool Context;
    int Cmd;
    long Larg;
    void* Parg;
};
std::vector<TControlCall> gControls;
long __cdecl RecordSslCtrl(SSL*, int cmd, long larg, void* parg)
{
    gControls.push_back({false, cmd, larg, parg});
    return 1;
}
long __cdecl RecordCtxCtrl(SSL_CTX*, int cmd, long larg, void* parg)
{
    gControls.push_back({true, cmd, larg, parg});
    return 1;
}

TEST_F(OpenSslBindingTest, ControlShorthandsMakeOneControlCallEach)
{
    for (const char* version : {"0x00907000", "0x009080EF"}) {
        SCOPED_TRACE(version);
        SetEnvironmentVariableA("CX_STANDIN_SSLEAY", version);
        ASSERT_TRUE(LoadLibeay());
        ASSERT_TRUE(LoadSsleay());
        ssleay::SSL_ctrl = &RecordSslCtrl;
        ssleay::SSL_CTX_ctrl = &RecordCtxCtrl;
        const bool newer = LibeayVersionNumber() >= 0x009080EF;
        struct TCase {
            long (*Call)();
            TControlCall Expected;
        };
        const TCase cases[] = {
            {[] { return ssleay::SSL_CTX_set_options(nullptr, 0x4000); }, {true, 32, 0x4000, nullptr}},
            {[] { return ssleay::SSL_set_options(nullptr, 0x10); }, {false, 32, 0x10, nullptr}},
            {[] { return ssleay::SSL_get_options(nullptr); }, {false, 32, 0, nullptr}},
            {[] { return ssleay::SSL_CTX_set_session_cache_mode(nullptr, 0x2); }, {true, 44, 2, nullptr}},
            {[] { return ssleay::SSL_session_reused(nullptr); },
             {false, newer ? 8 : 6, 0, nullptr}},
            {[] { return ssleay::SSL_CTX_sess_set_cache_size(nullptr, 77); }, {true, 42, 77, nullptr}},
        };
        for (const TCase& c : cases) {
            gControls.clear();
            EXPECT_EQ(c.Call(), 1);
            ASSERT_EQ(gControls.size(), 1u);
            EXPECT_EQ(gControls[0].Context, c.Expected.Context);
            EXPECT_EQ(gControls[0].Cmd, c.Expected.Cmd);
            EXPECT_EQ(gControls[0].Larg, c.Expected.Larg);
            EXPECT_EQ(gControls[0].Parg, nullptr);
        }
        gControls.clear();
        EXPECT_EQ(ssleay::SSL_get_secure_renegotiation_support(nullptr), newer ? 1 : 0);
        EXPECT_EQ(gControls.size(), newer ? 1u : 0u);
        if (newer) {
            EXPECT_EQ(gControls[0].Cmd, 76);
        }
        UnloadSsleay();
        UnloadLibeay();
    }
}

TEST_F(OpenSslBindingTest, FileVersionInformationWithAndWithoutTranslationTable)
{
    std::string version, description;
    // Found only through the translation table's 0407/04B0.
    EXPECT_TRUE(GetFileVerInfo(StandIn("complete", "SSLEAY32.DLL"), version, description));
    EXPECT_EQ(version, "9.8.7.6 stand-in");
    EXPECT_EQ(description, "SSL stand-in for the loader tests");
    // No table: read under 040904E4.
    EXPECT_TRUE(GetFileVerInfo(StandIn("complete", "LIBEAY32.DLL"), version, description));
    EXPECT_EQ(version, "1.2.3.4 stand-in");
    EXPECT_EQ(description, "Crypto stand-in for the loader tests");
    // No version resource at all; the outputs are cleared.
    EXPECT_FALSE(GetFileVerInfo(StandIn("no-ctx-new", "SSLEAY32.DLL"), version, description));
    EXPECT_EQ(version, "");
    EXPECT_EQ(description, "");
    // The SSL loader reads them before loading.
    ASSERT_TRUE(LoadSsleay());
    EXPECT_EQ(SsleayFileVersion(), "9.8.7.6 stand-in");
    EXPECT_EQ(SsleayFileDescription(), "SSL stand-in for the loader tests");
}

TEST_F(OpenSslBindingTest, LoadSslCountsUsesAndTheLastUnloadFreesBothModules)
{
    const std::string crypto = StandIn("complete", "LIBEAY32.DLL");
    const std::string ssl = StandIn("complete", "SSLEAY32.DLL");
    for (int round = 0; round < 2; ++round) {  // loads again after an unload
        SCOPED_TRACE(round);
        LoadSsl();
        LoadSsl();
        EXPECT_EQ(SslUsageCount(), 2);
        UnloadSsl();
        EXPECT_EQ(SslUsageCount(), 1);
        EXPECT_TRUE(LibeayLoaded() && SsleayLoaded());
        UnloadSsl();
        EXPECT_EQ(SslUsageCount(), 0);
        EXPECT_FALSE(LibeayLoaded() || SsleayLoaded());
        EXPECT_FALSE(ModuleMapped(crypto) || ModuleMapped(ssl));
        UnloadSsl();  // nothing to give back
        EXPECT_EQ(SslUsageCount(), 0);
    }
}

TEST_F(OpenSslBindingTest, AFailedLoadSslRaisesReleasesBothAndCountsNothing)
{
    struct TCase {
        const char* Crypto;
        const char* Ssl;
        const char* LibraryInit;
        std::string Message;
    };
    for (const TCase& c :
         {TCase{"no-bio-new", "complete", "1", "Unable to load LIBEAY DLL. Can't find "},
          TCase{"complete", "no-ctx-new", "1", "Unable to load SSLEAY DLL. Can't find "},
          TCase{"complete", "complete", "0",
                "Unable to initialize the SSL library (SSL_library_init)"}}) {
        SCOPED_TRACE(c.Message);
        Use(c.Crypto, c.Ssl);
        SetEnvironmentVariableA("CX_STANDIN_LIBRARY_INIT", c.LibraryInit);
        EXPECT_EQ(MessageOf([] { LoadSsl(); }), c.Message);
        EXPECT_EQ(SslUsageCount(), 0);
        EXPECT_FALSE(LibeayLoaded() || SsleayLoaded());
        EXPECT_FALSE(ModuleMapped(StandIn(c.Crypto, "LIBEAY32.DLL")));
        EXPECT_FALSE(ModuleMapped(StandIn(c.Ssl, "SSLEAY32.DLL")));
    }
    // Nothing stale is left behind: the next load starts afresh.
    Use("complete", "complete");
    SetEnvironmentVariableA("CX_STANDIN_LIBRARY_INIT", "1");
    LoadSsl();
    EXPECT_EQ(SslUsageCount(), 1);
}

TEST(OpenSslHelpers, Asn1StringToText)
{
    struct TCase {
        int Type;
        std::string Bytes;
        std::string Text;
    };
    const TCase cases[] = {
        {V_ASN1_OCTET_STRING, std::string("\x01\xAB", 2), "01:AB"},
        {V_ASN1_OCTET_STRING, std::string("\x00", 1), "00"},
        {V_ASN1_BMPSTRING, std::string("\x00\x41\x00\x42", 4), "AB"},
        {V_ASN1_BMPSTRING, std::string("\x00\x41\x00", 3), "A"},
        {V_ASN1_UTF8STRING, "caf\xC3\xA9", WideToAnsi(L"caf\u00e9")},
        {22 /* IA5 */, std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        std::string bytes = c.Bytes;
        ASN1_STRING text = {int(bytes.size()), c.Type, reinterpret_cast<unsigned char*>(&bytes[0]), 0};
        EXPECT_EQ(Asn1StringToText(&text), c.Text);
    }
    unsigned char one = 'x';
    ASN1_STRING empty = {0, 22, &one, 0};
    ASN1_STRING negative = {-1, 22, &one, 0};
    ASN1_STRING noData = {1, 22, nullptr, 0};
    EXPECT_EQ(Asn1StringToText(nullptr), "");
    EXPECT_EQ(Asn1StringToText(&empty), "");
    EXPECT_EQ(Asn1StringToText(&negative), "");
    EXPECT_EQ(Asn1StringToText(&noData), "");
}

TEST(OpenSslHelpers, BmpStringToWideReadsBigEndianPairs)
{
    const unsigned char bytes[] = {0x04, 0x10, 0x00, 0x41, 0x7F};
    EXPECT_EQ(BmpStringToWide(bytes, 5), std::wstring(L"\u0410A"));
    EXPECT_EQ(BmpStringToWide(bytes, 0), std::wstring());
}

TEST(OpenSslHelpers, BioShouldRetryReadsBitThreeOfTheSixthWord)
{
    // A 1.0-era BIO record as 32-bit words; only the sixth is read.
    uint32_t words[16] = {};
    BIO* bio = reinterpret_cast<BIO*>(words);
    words[5] = 0x08;
    EXPECT_TRUE(BioShouldRetry(bio));
    EXPECT_EQ(BioGetFlags(bio), 8);
    words[5] = 0xF7;
    EXPECT_FALSE(BioShouldRetry(bio));
    words[4] = 0x08;  // a neighbour's bit does not count
    EXPECT_FALSE(BioShouldRetry(bio));
}

}  // namespace
