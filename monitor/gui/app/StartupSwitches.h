#pragma once

// The switches of quel's command line, each found anywhere in the whole line,
// the program's path included.
struct StartupSwitches {
    bool autorun = false;    // "/autorun": start at logon (this user only)
    bool noAutorun = false;  // "/noautorun": never start at logon; applied after /autorun
    bool minimize = false;   // "/minimize": the main window starts, or is brought, hidden
    bool stop = false;       // "/stop": close the running instance and exit
};

StartupSwitches ParseStartupSwitches(const char* commandLine);
