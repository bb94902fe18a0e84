// The entry point of a framework program: the application object does the rest.
#include "WinApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int showCmd)
{
    return RunApplication(instance, cmdLine, showCmd);
}
