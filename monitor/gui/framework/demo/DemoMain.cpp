// The demo program's one application object; the framework's WinMain runs it.
#include "DemoApp.h"

static CDemoApp theApp;
