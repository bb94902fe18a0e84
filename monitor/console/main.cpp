// quelcon: prints the log service's events and, with /d, the port data as
// hex dumps, until ESC is pressed.
#include "CommandLine.h"
#include "EscapeKey.h"
#include "Framework.h"
#include "Win32ConsoleScreen.h"

#include <objbase.h>
#include <windows.h>

namespace {

constexpr DWORD kKeyPollMs = 500;

}  // namespace

int main(int argc, char** argv)
{
    const CommandLine line = ParseCommandLine(argc, argv);
    Win32ConsoleScreen& screen = StandardOutputScreen();
    if (line.WantsUsage()) {
        screen.Print(kUsageText);
        return 0;
    }
    screen.Print(kBannerText);

    CoInitialize(nullptr);
    FrameworkStartup();
    while (!IsEscapePressed())
        Sleep(kKeyPollMs);

    screen.Print(kUninitializingText);
    FrameworkShutdown();
    CoUninitialize();
    return 0;
}
