#include "OpenSslPeer.h"

#include <fstream>
#include <sstream>

#include "XSocketFixture.h"

namespace ssltest {

namespace {

// Wine shows the Unix root as drive Z.
std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileThere(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream(path, std::ios::binary).write(data.data(), std::streamsize(data.size()));
}

// Quoted as the Windows command line splits it.
std::string Argument(const std::string& text)
{
    if (!text.empty() && text.find_first_of(" \t\"") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    return quoted + "\"";
}

// This thread's desktop still answers: the handle every window is made on.
bool DesktopUsable()
{
    char name[64];
    DWORD length = 0;
    return GetUserObjectInformationA(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, name, sizeof name,
                                     &length) != 0;
}

}  // namespace

std::string UnixCertPath(const std::string& name)
{
    return std::string(CX_SSL_TEST_CERTS) + "/" + name;
}

std::vector<std::string> SlowReaderArgs(bool connects, u_short port, int delaySeconds, const std::string& mode)
{
    return {CX_SLOW_READER,
            connects ? "connect" : "listen",
            connects ? std::to_string(port) : "{port}",
            std::to_string(delaySeconds),
            mode,
            UnixCertPath("server.pem"),
            UnixCertPath("server.key"),
            UnixCertPath("ca.pem")};
}

TOpenSslPeer::TOpenSslPeer(const std::vector<std::string>& args, int maxSeconds,
                           const std::string& program)
{
    // A directory of its own: one left by an earlier run (Wine reuses its
    // small process ids) may belong to a launcher that still runs.
    static int count = 0;
    const std::string root = WindowsPath(CX_SSL_PEER_WORK);
    CreateDirectoryA(root.c_str(), nullptr);
    std::string name;
    do {
        name = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
               std::to_string(++count);
        FDir = root + "\\" + name + "\\";
    } while (!CreateDirectoryA(FDir.c_str(), nullptr));
    std::string line = "python3 " + Argument(CX_SSL_PEER_LAUNCHER) + " " +
                       Argument(std::string(CX_SSL_PEER_WORK) + "/" + name) + " " +
                       std::to_string(maxSeconds) + " " + Argument(program);
    for (const std::string& a : args)
        line += " " + Argument(a);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> command(line.begin(), line.end());
    command.push_back('\0');
    const BOOL started = CreateProcessA(WindowsPath("/usr/bin/python3").c_str(), command.data(),
                                        nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    EXPECT_TRUE(started) << "the launcher did not start: " << GetLastError();
    // Wine starts a Unix program as no Windows process: it gives no process
    // handle and a thread handle that is whatever lay on its stack, at times
    // the value of this process's desktop or window station, whose closing
    // made every window after it fail (error 6). The launcher is watched
    // through its files, so only a real process's handles are closed.
    if (started && pi.hProcess) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    EXPECT_TRUE(DesktopUsable()) << "starting the launcher closed a handle of this process";
}

TOpenSslPeer::~TOpenSslPeer()
{
    if (!Exited()) {
        Kill();
        EXPECT_TRUE(WaitForExit()) << "the openssl peer did not end";
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((FDir + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((FDir + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(FDir.c_str());
}

std::string TOpenSslPeer::File(const char* name) const
{
    return FDir + name;
}

bool TOpenSslPeer::Started()
{
    const bool seen = xstest::WaitFor([&] { return FileThere(File("port")) || Exited(); }, 20000);
    if (!seen || !FileThere(File("port")))
        return false;
    FPort = u_short(std::stoi(FileText(File("port"))));
    return true;
}

bool TOpenSslPeer::Exited() const
{
    return FileThere(File("exit"));
}

void TOpenSslPeer::Send(const std::string& data)
{
    const std::string chunk = File(("in." + std::to_string(FInputs++)).c_str());
    WriteFile(chunk + ".part", data);
    EXPECT_TRUE(MoveFileA((chunk + ".part").c_str(), chunk.c_str()));
}

void TOpenSslPeer::EndInput()
{
    WriteFile(File("eof"), "");
}

void TOpenSslPeer::Kill()
{
    WriteFile(File("stop"), "");
}

bool TOpenSslPeer::WaitForExit(DWORD timeoutMs)
{
    return xstest::WaitFor([&] { return Exited(); }, timeoutMs);
}

std::string TOpenSslPeer::Output() const
{
    return FileText(File("out"));
}

std::string TOpenSslPeer::Errors() const
{
    return FileText(File("err"));
}

bool TOpenSslPeer::WaitForOutput(size_t size, DWORD stallMs)
{
    return xstest::WaitForGrowth(
        [&]() -> size_t {
            WIN32_FILE_ATTRIBUTE_DATA data;
            return GetFileAttributesExA(File("out").c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
        },
        size, stallMs);
}

}  // namespace ssltest
