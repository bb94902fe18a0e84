// quelcon as a user runs it: in a console of its own against a log service on
// the real pipe name (on Windows 9x its TCP port), read from its screen and
// stopped with ESC.
#include "ConsoleSession.h"
#include "RunRedirected.h"

#include "LogPeer.h"
#include "Records.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <numeric>

namespace {

using logpeer::Bytes;

std::string Quelcon() { return ModuleDirectory() + "quelcon.exe"; }

// The row without its "MM/DD/YY HH:MM:SS - " stamp, or "" when it has none.
std::string Unstamped(const std::string& row)
{
    static const char kShape[] = "00/00/00 00:00:00 - ";
    const size_t n = sizeof kShape - 1;
    if (row.size() < n)
        return "";
    for (size_t i = 0; i < n; ++i)
        if (kShape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(row[i])) : row[i] != kShape[i])
            return "";
    return row.substr(n);
}

std::vector<std::string> Unstamped(const std::vector<std::string>& rows)
{
    std::vector<std::string> out;
    for (const std::string& row : rows)
        out.push_back(Unstamped(row).empty() ? row : Unstamped(row));
    return out;
}

bool Contains(const std::vector<std::string>& rows, const std::string& text)
{
    return ConsoleSession::FindRow(rows, text) >= 0;
}

Bytes Sequence(uint8_t first, size_t count)
{
    Bytes bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// A device name in the ANSI code page ("Gerät" in code page 1252) and a pipe
// name beyond it.
const char kGeraet[] = "Ger\xe4t";
const wchar_t kWidePipe[] = L"\\\\.\\pipe\\Ger\x00e4t-\x0444";

// A directory of its own under the temporary directory, removed with its files.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(const std::string& stem)
    {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        static int count = 0;
        path_ = std::string(base) + stem + "_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++count);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TemporaryDirectory()
    {
        for (const std::string& file : files_)
            DeleteFileA(file.c_str());
        RemoveDirectoryA(path_.c_str());
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    bool Write(const std::string& name, const std::string& content)
    {
        const std::string file = path_ + "\\" + name;
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        files_.push_back(file);
        DWORD written = 0;
        const bool ok = WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                        written == content.size();
        CloseHandle(h);
        return ok;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::vector<std::string> files_;
};

long RunRegsvr32(const std::string& switches)
{
    std::string output;
    return RunRedirected("regsvr32.exe " + switches + " \"" + ModuleDirectory() + "quelstd.dll\"", &output,
                         60000);
}

// The standard provider unregistered while the object lives, registered again after.
class StandardProviderAway {
public:
    StandardProviderAway() { EXPECT_EQ(RunRegsvr32("/u /s"), 0); }
    ~StandardProviderAway() { EXPECT_EQ(RunRegsvr32("/s"), 0); }
    StandardProviderAway(const StandardProviderAway&) = delete;
    StandardProviderAway& operator=(const StandardProviderAway&) = delete;
};

class QuelconEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RunRegsvr32("/s"), 0); }

    // The stand-in on the log service's own pipe name, without TCP.
    static logpeer::PeerOptions PipeOnly()
    {
        logpeer::PeerOptions options;
        options.tcp = false;
        return options;
    }
    // The monitor's connection once its opening request has come; null after the time-out.
    static std::shared_ptr<logpeer::Connection> OpenedLink(logpeer::LogPeer& peer)
    {
        std::shared_ptr<logpeer::Connection> link = peer.WaitConnection(30000);
        return link && link->WaitOpeningRequest(30000) ? link : nullptr;
    }

    // Waits until the screen holds `text` in a row of its own (stamp removed).
    bool WaitForRow(ConsoleSession& session, const std::string& text, DWORD timeoutMs = 20000)
    {
        return session.WaitForScreen(
            [&](const std::vector<std::string>& rows) {
                for (const std::string& row : Unstamped(rows))
                    if (row == text)
                        return true;
                return false;
            },
            timeoutMs);
    }

    void Stop(ConsoleSession& session)
    {
        session.PressKey(VK_ESCAPE, 27);
        EXPECT_EQ(session.WaitExit(15000), 0);
        const std::vector<std::string> rows = session.Screen();
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back(), "Uninitializing...");
    }
};

TEST_F(QuelconEndToEnd, PrintsLinesAndDumpsOfOneDeviceUntilEscape)
{
    logpeer::LogPeer peer(PipeOnly());
    peer.StartListening();

    ConsoleSession session;
    ASSERT_TRUE(session.Start(Quelcon(), "/d COM2"));
    std::shared_ptr<logpeer::Connection> link = OpenedLink(peer);
    ASSERT_TRUE(link);
    ASSERT_FALSE(link->frames().empty());
    EXPECT_EQ(link->frames()[0], (Bytes{1, 0, 0, 0, 'C', 'O', 'M', '2', 0}));

    ASSERT_TRUE(session.WaitForScreen(
        [](const std::vector<std::string>& rows) {
            // The line is longer than the screen is wide: its first row says enough.
            return Contains(Unstamped(rows), "master_channel: Monitor has established PIPE connection");
        },
        20000))
        << "no connect line";

    link->SendRecord(1, "COM2", {});
    link->SendRecord(15, "COM2", {});
    link->SendRecord(10, "COM2", Sequence('A', 20));
    link->SendRecord(10, "COM2", Sequence('U', 4));
    // Malformed: too short for code, word and name; a name without its NUL.
    link->SendFrame(Bytes{1, 0, 0, 0, 0, 0});
    link->SendFrame(Bytes{10, 0, 0, 0, 0, 0, 0, 0, 'C', 'O', 'M', '2'});
    link->SendRecord(9, "COM2", Bytes{0x00, 0x1F, 0x7F, 0x80, 0xFF, '~'});
    link->SendRecord(2, "COM2", {});
    ASSERT_TRUE(WaitForRow(session, "COM2: Device closed")) << "records after the malformed ones";

    const std::vector<std::string> rows = Unstamped(session.Screen());
    const int first = ConsoleSession::FindRow(rows, "COM2: Device opened");
    ASSERT_GE(first, 0);
    const std::vector<std::string> expected = {
        "COM2: Device opened",
        "COM2: unknown msg (15/0x0000000f)",
        "COM2: RX",
        "ABCDEFGHIJKLMNOP    41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50",
        "QRSTUVWX            51 52 53 54 55 56 57 58",
        "COM2: TX",
        ".....~              00 1f 7f 80 ff 7e",
        "COM2: Device closed",
    };
    ASSERT_GE(rows.size(), first + expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(rows[first + i], expected[i]) << "row " << first + i;
    EXPECT_EQ(rows.size(), first + expected.size());

    Stop(session);
}

TEST_F(QuelconEndToEnd, WithoutServiceTheConnectFailureRepeats)
{
    ConsoleSession session;
    ASSERT_TRUE(session.Start(Quelcon(), ""));
    const std::string failure = "master_channel: Unable to establish PIPE connection";
    const DWORD start = GetTickCount();
    ASSERT_TRUE(session.WaitForScreen(
        [&](const std::vector<std::string>& rows) {
            int count = 0;
            for (const std::string& row : Unstamped(rows))
                count += row.compare(0, failure.size(), failure) == 0;
            return count >= 3;
        },
        30000));
    // Three attempts take two reconnect pauses of 3000 ms.
    EXPECT_GE(GetTickCount() - start, 5000u);
    Stop(session);
}

TEST_F(QuelconEndToEnd, RedirectedOutputReachesTheFileWhileRunning)
{
    logpeer::LogPeer peer(PipeOnly());
    peer.StartListening();

    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    const std::string path = std::string(directory) + "quelcon_redirected.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = file;
    std::string commandLine = "\"" + Quelcon() + "\" /d";
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &si, &pi));
    CloseHandle(file);

    std::shared_ptr<logpeer::Connection> link = OpenedLink(peer);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->frames()[0], (Bytes{1, 0, 0, 0}));
    link->SendRecord(10, "COM1", Sequence('A', 20));
    link->SendRecord(10, "COM1", Sequence('U', 4));
    link->SendRecord(1, kGeraet, {});
    link->SendRecord(4, kGeraet, logpeer::PipeAddressRecordWide(kWidePipe));
    link->SendRecord(1, "COM1", {});

    // The program never stops by itself here (no console to read ESC from):
    // what it printed must be in the file while it runs.
    std::string text;
    const DWORD start = GetTickCount();
    while (text.find("COM1: Device opened\r\n") == std::string::npos && GetTickCount() - start < 20000) {
        Sleep(50);
        text.clear();
        HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        char chunk[4096];
        DWORD read = 0;
        while (reader != INVALID_HANDLE_VALUE && ReadFile(reader, chunk, sizeof chunk, &read, nullptr) &&
               read > 0)
            text.append(chunk, read);
        if (reader != INVALID_HANDLE_VALUE)
            CloseHandle(reader);
    }
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    // Every line ends in CR LF, and nothing else holds a CR or an LF.
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        const std::string line = text.substr(at, end - at);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        lines.push_back(Unstamped(line).empty() ? line : Unstamped(line));
    }
    EXPECT_EQ(at, text.size()) << "text after the last line end";
    const int first = ConsoleSession::FindRow(lines, "COM1: RX");
    ASSERT_GE(first, 0) << text;
    // Texts beyond ASCII in the ANSI code page, as the system converts them.
    char pipeText[64] = "";
    WideCharToMultiByte(CP_ACP, 0, kWidePipe, -1, pipeText, sizeof pipeText, nullptr, nullptr);
    const std::vector<std::string> expected = {
        "COM1: RX",
        "ABCDEFGHIJKLMNOP    41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 ",
        "QRST                51 52 53 54 ",
        "    UVWX                        55 56 57 58 ",
        std::string(kGeraet) + ": Device opened",
        std::string(kGeraet) + ": Accepted PIPE connection from " + pipeText,
        "COM1: Device opened",
    };
    ASSERT_EQ(lines.size(), first + expected.size()) << text;
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[first + i], expected[i]);
    EXPECT_EQ(text.compare(0, 50, "Pelko Monitor Console v5.0\r\nPress ESC to exit...\r\n"), 0);
    DeleteFileA(path.c_str());
}

// The console shows what the record and the provider say, not the ANSI bytes
// read in the console's own code page ("GerΣt").
TEST_F(QuelconEndToEnd, NamesAndTextsBeyondAsciiShowAsTheyAre)
{
    logpeer::LogPeer peer(PipeOnly());
    peer.StartListening();
    ConsoleSession session;
    ASSERT_TRUE(session.Start(Quelcon(), ""));
    std::shared_ptr<logpeer::Connection> link = OpenedLink(peer);
    ASSERT_TRUE(link);
    link->SendRecord(1, kGeraet, {});
    link->SendRecord(4, kGeraet, logpeer::PipeAddressRecordWide(kWidePipe));

    const std::wstring device = L" - Ger\x00e4t: ";
    const std::wstring opened = device + L"Device opened";
    const std::wstring accepted = device + L"Accepted PIPE connection from " + kWidePipe;
    auto holds = [](const std::vector<std::wstring>& rows, const std::wstring& text) {
        for (const std::wstring& row : rows)
            if (row.find(text) != std::wstring::npos)
                return true;
        return false;
    };
    ASSERT_TRUE(session.WaitForScreen(
        [&](const std::vector<std::string>&) { return holds(session.WideScreen(), accepted); }, 20000))
        << session.Text();
    EXPECT_TRUE(holds(session.WideScreen(), opened)) << session.Text();
    Stop(session);
}

// Which provider could not be created and why, once at start; the records go
// on as without it.
TEST_F(QuelconEndToEnd, AProviderThatCannotBeCreatedIsNamedOnceAtStart)
{
    struct Case {
        const char* name;
        bool unregisterStandard;
        const char* ini;
        const char* notice;
        const char* deviceOpened;
    };
    const Case cases[] = {
        {"standard provider not registered", true, "",
         "Cannot create message provider Quelstd.StdMsgProvider (0x800401f3)",
         "COM1: unknown msg (1/0x00000001)"},
        {"unknown provider in quel.ini", false,
         "[message_providers]\r\nprovider1=Quelcon.NoSuchProvider\r\nprovider2=Quelstd.StdMsgProvider\r\n",
         "Cannot create message provider Quelcon.NoSuchProvider (0x800401f3)", "COM1: Device opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory("quelcon_providers");
        if (*c.ini) {
            ASSERT_TRUE(directory.Write("quel.ini", c.ini));
        }
        std::unique_ptr<StandardProviderAway> away;
        if (c.unregisterStandard)
            away = std::make_unique<StandardProviderAway>();

        logpeer::LogPeer peer(PipeOnly());
        peer.StartListening();
        ConsoleSession session;
        ASSERT_TRUE(session.Start(Quelcon(), "", 20000, directory.path()));
        std::shared_ptr<logpeer::Connection> link = OpenedLink(peer);
        ASSERT_TRUE(link);
        link->SendRecord(1, "COM1", {});
        ASSERT_TRUE(WaitForRow(session, c.deviceOpened)) << session.Text();

        const std::vector<std::string> rows = session.Screen();
        ASSERT_GE(rows.size(), 3u);
        EXPECT_EQ(rows[2], c.notice);
        int notices = 0;
        for (const std::string& row : rows)
            notices += row.find("Cannot create message provider") != std::string::npos;
        EXPECT_EQ(notices, 1);
        Stop(session);
    }
}

// Wine's per-program Windows version, set for quelcon.exe while the object
// lives and removed with it (the key as well when it made the key).
class WineVersionOverride {
public:
    WineVersionOverride(const std::string& program, const std::string& version)
        : path_("Software\\Wine\\AppDefaults\\" + program)
    {
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key_, &disposition) != ERROR_SUCCESS)
            return;
        createdKey_ = disposition == REG_CREATED_NEW_KEY;
        set_ = RegSetValueExA(key_, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                              static_cast<DWORD>(version.size() + 1)) == ERROR_SUCCESS;
    }
    ~WineVersionOverride()
    {
        if (!key_)
            return;
        RegDeleteValueA(key_, "Version");
        RegCloseKey(key_);
        if (createdKey_)
            RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    }
    WineVersionOverride(const WineVersionOverride&) = delete;
    WineVersionOverride& operator=(const WineVersionOverride&) = delete;
    bool set() const { return set_; }

private:
    std::string path_;
    HKEY key_ = nullptr;
    bool createdKey_ = false;
    bool set_ = false;
};

// On Windows 9x the monitor reaches the log service over TCP on 127.0.0.1:50001.
// The pipe is off: a monitor that took it for NT would only report failures.
TEST_F(QuelconEndToEnd, OnANonNtSystemConnectsOverTcp)
{
    WineVersionOverride win98("quelcon.exe", "win98");
    ASSERT_TRUE(win98.set());
    std::unique_ptr<logpeer::LogPeer> peer;
    ASSERT_NO_THROW(peer = logpeer::ListenAsTcpService());

    ConsoleSession session;
    ASSERT_TRUE(session.Start(Quelcon(), ""));
    std::shared_ptr<logpeer::Connection> link = peer->WaitConnection(30000);
    ASSERT_TRUE(link) << "no TCP connection: " << session.Text();
    EXPECT_EQ(link->name().compare(0, 3, "tcp"), 0) << link->name();
    ASSERT_TRUE(link->WaitOpeningRequest(30000));
    EXPECT_EQ(link->frames()[0], (Bytes{0, 0, 0, 0}));  // no dump, all devices

    const std::string connected =
        " - master_channel: Monitor has established TCP connection with Pelko Log Service at 127.0.0.1:50001";
    ASSERT_TRUE(session.WaitForScreen(
        [&](const std::vector<std::string>&) { return session.Text().find(connected) != std::string::npos; },
        20000))
        << session.Text();

    link->SendRecord(1, "COM1", {});
    ASSERT_TRUE(WaitForRow(session, "COM1: Device opened"));
    Stop(session);
}

}  // namespace
