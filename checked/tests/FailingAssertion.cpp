// A GUI program whose one assertion fails, for the test of the assertion report.
#include <windows.h>

#include <cassert>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    assert(commandLine == nullptr);  // a program always gets a command line, if only an empty one
    return 0;
}
