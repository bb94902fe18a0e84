#include "StartupSwitches.h"

#include <cstring>

StartupSwitches ParseStartupSwitches(const char* commandLine)
{
    const char* line = commandLine ? commandLine : "";
    StartupSwitches switches;
    switches.autorun = std::strstr(line, "/autorun") != nullptr;
    switches.noAutorun = std::strstr(line, "/noautorun") != nullptr;
    switches.minimize = std::strstr(line, "/minimize") != nullptr;
    switches.stop = std::strstr(line, "/stop") != nullptr;
    return switches;
}
