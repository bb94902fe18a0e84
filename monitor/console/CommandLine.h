#pragma once
#include <string>

// What the command line asks for: switches are "/x" or "-x", one
// case-sensitive character each; any other argument names the device to
// watch (the last one wins; none watches all devices).
struct CommandLine {
    std::string switches;
    std::string device;

    bool Has(char c) const { return switches.find(c) != std::string::npos; }
    bool WantsUsage() const { return Has('?') || Has('h'); }
    bool WantsDump() const { return Has('d'); }
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

extern const char kUsageText[];
extern const char kBannerText[];
extern const char kUninitializingText[];
