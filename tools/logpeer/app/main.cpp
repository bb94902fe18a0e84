// logpeer.exe: stands in for the driver's log service on the pipe and TCP port the monitors use.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>

#include "Demo.h"
#include "LogPeer.h"
#include "Script.h"

using namespace logpeer;

namespace {

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleCtrl(DWORD)
{
    SetEvent(g_stop);
    return TRUE;
}

void Usage()
{
    std::fputs("usage: logpeer [--pipe NAME] [--tcp PORT] [--no-pipe] [--no-tcp]\n"
               "               [--rounds N] [--interval MS] [--script FILE | --do \"STEP; STEP...\"]\n"
               "Without a script it tells a demo story for COM1 and COM2 (rounds 0: until Ctrl+C).\n",
               stderr);
}

struct Args {
    PeerOptions peer;
    unsigned rounds = 0;
    DWORD interval = 500;
    std::string script;
    char separator = '\n';
};

bool Parse(int argc, char** argv, Args& a)
{
    for (int i = 1; i < argc; ++i) {
        std::string opt = argv[i];
        bool hasValue = i + 1 < argc;
        auto value = [&] { return std::string(argv[++i]); };
        try {
            if (opt == "--no-pipe")
                a.peer.pipe = false;
            else if (opt == "--no-tcp")
                a.peer.tcp = false;
            else if (opt == "--pipe" && hasValue)
                a.peer.pipeName = value();
            else if (opt == "--tcp" && hasValue) {
                unsigned long port = std::stoul(value());
                if (port > 65535)
                    return false;
                a.peer.tcpPort = static_cast<uint16_t>(port);
            } else if (opt == "--rounds" && hasValue)
                a.rounds = std::stoul(value());
            else if (opt == "--interval" && hasValue)
                a.interval = std::stoul(value());
            else if (opt == "--do" && hasValue) {
                a.script = value();
                a.separator = ';';
            } else if (opt == "--script" && hasValue) {
                std::ifstream in(argv[++i]);
                if (!in) {
                    std::fprintf(stderr, "cannot read %s\n", argv[i]);
                    return false;
                }
                a.script.assign(std::istreambuf_iterator<char>(in), {});
            } else {
                return false;
            }
        } catch (const std::exception&) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Args args;
    if (!Parse(argc, argv, args)) {
        Usage();
        return 2;
    }
    std::mutex printLock;
    args.peer.onEvent = [&](const std::string& line) {
        std::lock_guard<std::mutex> lock(printLock);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
    try {
        std::vector<ScriptStep> steps = ParseScript(args.script, args.separator);
        LogPeer peer(args.peer);
        peer.StartListening();
        bool ok = true;
        if (args.script.empty())
            RunDemo(peer, args.rounds, args.interval, g_stop);
        else
            ok = RunScript(peer, steps, g_stop);
        for (auto& c : peer.connections())
            c->WaitDrained(5000);  // let the last records leave
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "logpeer: %s\n", e.what());
        return 1;
    }
}
