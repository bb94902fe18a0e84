#include "OpenSslGenuineFixture.h"

#include <windows.h>

#include <fstream>
#include <list>
#include <sstream>

namespace ssltest {

namespace {
std::string ProgramDir()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.erase(dir.find_last_of('\\') + 1);
}

std::string FileText(const std::string& name)
{
    std::ifstream in(CertPath(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
}  // namespace

std::string CertPath(const std::string& name)
{
    return ProgramDir() + "ssl-test-certs\\" + name;
}

std::vector<std::string> CertFileLines(const std::string& name)
{
    std::vector<std::string> lines;
    std::istringstream in(FileText(name));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines)
{
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i ? "\r\n" : "") + lines[i];
    return text;
}

X509* ReadCert(const std::string& name)
{
    BIO* bio = libeay::BIO_new_file(CertPath(name).c_str(), "r");
    if (!bio)
        return nullptr;
    X509* cert = libeay::PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    libeay::BIO_free(bio);
    return cert;
}

BIO* FilesBio(const std::vector<std::string>& names)
{
    // The BIO reads the buffer in place: keep the texts for the process.
    static std::list<std::string>* kept = new std::list<std::string>;
    std::string text;
    for (const std::string& name : names)
        text += FileText(name);
    kept->push_back(text);
    return libeay::BIO_new_mem_buf(kept->back().data(), int(kept->back().size()));
}

TLogRecorder::TLogRecorder(TLogOptions kinds) : Logger(rtl::Create<TCxLogger>(nullptr))
{
    Logger->SetLogOptions(TLogOptions(kinds | LogOptionSet(loDestEvent)));
    Logger->SetOnCxLogEvent([this](rtl::TObject*, TLogOption, const std::string& text) {
        Lines.push_back(text);
    });
}

TLogRecorder::~TLogRecorder()
{
    Logger->Free();
}

bool TLogRecorder::Has(const std::string& text) const
{
    for (const std::string& line : Lines)
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

void GenuineOpenSslTest::SetUp()
{
    StartCalyxUnits();
    LoadSsl();
}

void GenuineOpenSslTest::TearDown()
{
    UnloadSsl();
    EXPECT_EQ(SslUsageCount(), 0) << "a component kept its use of the libraries";
    StopCalyxUnits();
}

}  // namespace ssltest
