// quel.exe: the tray monitor's one application object; the framework's WinMain runs it.
#include "MonitorApp.h"

static CMonitorApp theApp;
