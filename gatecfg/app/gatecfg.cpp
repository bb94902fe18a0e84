// gatecfg: the configuration tool for TORVALA access-control controllers.
#include <windows.h>

#include <exception>
#include <memory>

#include "TcpSrv.h"
#include "Unit1.h"
#include "forms/Application.h"
#include "net/CalyxUnits.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    calyx::TCalyxUnits units;
    forms::TApplication application;
    try {
        gatecfg::TForm1* form1 = nullptr;
        application.CreateForm(form1, std::make_unique<gatecfg::TTcpSrv>());
        application.Run();
    } catch (const std::exception& e) {
        application.HandleException(e);
        return 1;
    }
    return 0;
}
