// fakecontroller: plays a TORVALA controller against a running gatecfg.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FakeController.h"

namespace {

void Usage()
{
    std::printf("usage: fakecontroller [--host 127.0.0.1] [--port 1001] [--device 127] [--side B]\n"
                "                      [--ping 5000]\n"
                "Connects to gatecfg, sends its keep-alive every --ping milliseconds, answers\n"
                "the poll and prints every line it sends (->) and frame it receives (<-).\n");
}

}  // namespace

int main(int argc, char** argv)
{
    fakecontroller::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h" || arg == "/?" || !value) {
            Usage();
            return arg == "--help" || arg == "-h" || arg == "/?" ? 0 : 2;
        }
        ++i;
        if (arg == "--host") {
            options.host = value;
        } else if (arg == "--port") {
            const long port = std::strtol(value, nullptr, 10);
            if (port <= 0 || port > 65535) {
                std::fprintf(stderr, "bad port %s\n", value);
                return 2;
            }
            options.port = static_cast<std::uint16_t>(port);
        } else if (arg == "--device") {
            if (std::strlen(value) != 3) {
                std::fprintf(stderr, "the device number has three digits: %s\n", value);
                return 2;
            }
            options.deviceNumber = value;
        } else if (arg == "--side") {
            if (std::strlen(value) != 1) {
                std::fprintf(stderr, "the side is one letter: %s\n", value);
                return 2;
            }
            options.side = value[0];
        } else if (arg == "--ping") {
            options.pingIntervalMs = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
            if (options.pingIntervalMs == 0)
                options.pingIntervalMs = 5000;
        } else {
            Usage();
            return 2;
        }
    }

    fakecontroller::FakeController controller(options);
    controller.SetLog([](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    });
    return controller.Run() ? 0 : 1;
}
