#include "rtl/Application.h"

namespace rtl {

namespace {
TApplication* gApplication = nullptr;
int gStartCount = 0;
}  // namespace

bool TApplication::ProcessMessage(MSG& msg)
{
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
    } else {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void TApplication::ProcessMessages()
{
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

void TApplication::HandleMessage()
{
    MSG msg;
    if (!ProcessMessage(msg)) {
        WaitMessage();
    }
}

void TApplication::Run()
{
    while (!FTerminated)
        HandleMessage();
}

void TApplication::Terminate()
{
    PostQuitMessage(0);
}

TApplication* Application()
{
    return gApplication;
}

void StartRuntime()
{
    if (gStartCount++ == 0)
        gApplication = new TApplication();
}

void StopRuntime()
{
    if (gStartCount > 0 && --gStartCount == 0) {
        delete gApplication;
        gApplication = nullptr;
    }
}

}  // namespace rtl
