#include "CommandLine.h"

CommandLine ParseCommandLine(int argc, const char* const* argv)
{
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] == '-' || argument[0] == '/') {
            if (argument[1] != '\0')
                line.switches += argument[1];
        } else {
            line.device = argument;
        }
    }
    return line;
}

const char kUsageText[] =
    "Pelko Monitor Console v5.0\n"
    "Monitors activity of Pelko Drivers\n"
    "Usage: quelcon /d [device_name]\n"
    "  /h, /? - display this help screen\n"
    "  /d - enable data dumping (results in degraded throughput of Pelko Drivers)\n"
    "  <device_name> - show messages only from device <device_name>\n";

const char kBannerText[] = "Pelko Monitor Console v5.0\nPress ESC to exit...\n";

const char kUninitializingText[] = "Uninitializing...\n";
