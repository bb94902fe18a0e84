#pragma once
// Fixture of the tests that run against the genuine OpenSSL 1.0.2n DLLs
// beside the test program, with the keys and certificates that the build
// made in ssl-test-certs beside it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/CalyxLIBEAY.h"
#include "net/CalyxLogger.h"
#include "net/CalyxSSLEAY.h"
#include "net/CalyxSslBase.h"
#include "net/CalyxUnits.h"
#include "OpenSslTestSupport.h"

namespace ssltest {

using namespace calyx;

// Full path of a file made by the certificate script.
std::string CertPath(const std::string& name);
// The lines of such a file, without line ends.
std::vector<std::string> CertFileLines(const std::string& name);
// The lines joined by CR LF, as the socket library writes multi-line values.
std::string JoinCrLf(const std::vector<std::string>& lines);
// A certificate read from a PEM file of the script; the caller frees it.
X509* ReadCert(const std::string& name);
// A read-only memory BIO over the concatenated files.
BIO* FilesBio(const std::vector<std::string>& names);

// Frees a component at the end of the scope.
template <class T>
class TOwned {
public:
    explicit TOwned(T* component) : FComponent(component) {}
    ~TOwned() { Reset(); }
    TOwned(const TOwned&) = delete;
    TOwned& operator=(const TOwned&) = delete;
    T* operator->() const { return FComponent; }
    T* Get() const { return FComponent; }
    void Reset()
    {
        if (FComponent)
            FComponent->Free();
        FComponent = nullptr;
    }

private:
    T* FComponent;
};

// A logger whose messages are kept in Lines.
struct TLogRecorder {
    explicit TLogRecorder(TLogOptions kinds);
    ~TLogRecorder();
    bool Has(const std::string& text) const;
    TCxLogger* Logger;
    std::vector<std::string> Lines;
};

struct GenuineOpenSslTest : ::testing::Test {
    void SetUp() override;
    void TearDown() override;
};

}  // namespace ssltest
