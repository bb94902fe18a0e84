// logpeer.exe in scripted mode, driven from its command line and read through a raw pipe client.
#include <gtest/gtest.h>

#include "Frame.h"
#include "OpeningRequest.h"
#include "Records.h"
#include "TestClients.h"

using namespace logpeer;
using namespace logpeer_test;

namespace {

// Starts logpeer.exe with its stdout on a pipe we read line by line.
class PeerProcess {
public:
    explicit PeerProcess(const std::string& args)
    {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE read, write;
        CreatePipe(&read, &write, &sa, 0);
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        out_.reset(read);
        win32::UniqueHandle childOut(write);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = childOut.get();
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::string cmd = "logpeer.exe " + args;
        PROCESS_INFORMATION pi{};
        if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
            process_.reset(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    ~PeerProcess()
    {
        if (process_ && WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_.get(), 3);
    }
    bool started() const { return static_cast<bool>(process_); }

    // Lines until one contains `text`; false when the output ends first.
    bool WaitLine(const std::string& text)
    {
        for (;;) {
            size_t nl;
            while ((nl = buffered_.find('\n')) != std::string::npos) {
                std::string line = buffered_.substr(0, nl);
                buffered_.erase(0, nl + 1);
                lines_.push_back(line);
                if (line.find(text) != std::string::npos)
                    return true;
            }
            char buf[256];
            DWORD n = 0;
            if (!ReadFile(out_.get(), buf, sizeof buf, &n, nullptr) || n == 0)
                return false;
            buffered_.append(buf, n);
        }
    }
    DWORD ExitCode()
    {
        DWORD code = 99;
        if (WaitForSingleObject(process_.get(), 10000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_.get(), &code);
        return code;
    }
    std::string lines() const
    {
        std::string all;
        for (auto& l : lines_)
            all += l + "\n";
        return all;
    }

private:
    win32::UniqueHandle process_, out_;
    std::string buffered_;
    std::vector<std::string> lines_;
};

TEST(LogPeerExeTest, ScriptedFaultsReachTheMonitorByteForByte)
{
    std::string pipe = "logpeer_exe_test_" + std::to_string(GetCurrentProcessId());
    PeerProcess peer("--no-tcp --pipe " + pipe +
                     " --do \"wait; split 3 20 1 COM1; badsum 2 COM1; short; noterm 2 COM1; big 9 COM1;"
                     " record 3 COM1 u32:0xC0000236 tcp:127.0.0.1:50001; burst 5 10; close; wait-closed\"");
    ASSERT_TRUE(peer.started());
    ASSERT_TRUE(peer.WaitLine("listening")) << peer.lines();

    PipeClient client("\\\\.\\pipe\\" + pipe);
    ASSERT_TRUE(client.ok()) << client.openError();
    ASSERT_TRUE(client.Write(BuildFrame(BuildOpeningRequest(1, nullptr))));

    Bytes expected = BuildFrame(MonitorRecord(kDeviceOpened, "COM1", {}));
    Bytes bad = BuildFrame(MonitorRecord(kDeviceClosed, "COM1", {}));
    bad[6] ^= 0x01;
    PutBytes(expected, bad);
    PutBytes(expected, BuildFrame(Bytes{1, 0, 0, 0, 0, 0}));
    PutBytes(expected, BuildFrame(Bytes{2, 0, 0, 0, 0, 0, 0, 0, 'C', 'O', 'M', '1'}));
    Bytes big = MonitorRecord(kTxData, "COM1", Bytes(65535 - 13, 0xA5));
    ASSERT_EQ(big.size(), 65535u);
    PutBytes(expected, BuildFrame(big));
    PutBytes(expected,
             BuildFrame(MonitorRecord(kConnectResult, "COM1",
                                      StatusPayload(0xC0000236, TcpAddressRecord(Ipv4(127, 0, 0, 1), 50001)))));
    for (int i = 0; i < 5; ++i)
        PutBytes(expected, BuildFrame(MonitorRecord(kTxData, "COM1", Bytes(10, 0x55))));

    Bytes got;
    ASSERT_TRUE(client.ReadExact(expected.size(), got));
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected[i]) << "byte " << i;
    EXPECT_TRUE(client.ReadsEnd());

    EXPECT_TRUE(peer.WaitLine("pipe#1 opening request dump=1 all devices"));
    EXPECT_TRUE(peer.WaitLine("burst 5 records of 10 bytes"));
    EXPECT_TRUE(peer.WaitLine("pipe#1 closed by the peer"));
    EXPECT_EQ(peer.ExitCode(), 0u) << peer.lines();
}

TEST(LogPeerExeTest, RefusesABadScript)
{
    PeerProcess peer("--no-tcp --no-pipe --do \"record 3 COM1 bogus\"");
    ASSERT_TRUE(peer.started());
    EXPECT_EQ(peer.ExitCode(), 1u);
}

}  // namespace
