#include "net/CalyxXSocketSync.h"

#include "net/CalyxLibrary.h"
#include "rtl/Application.h"

namespace calyx {

int TCustomSyncXSocket::WaitForDone(bool& done)
{
    // The messages of the wait may free the component: the wait then ends
    // as the control's loop does.
    const TCxLifeGuard life(this);
    const DWORD stop = lib::GetTickCount() + DWORD(Timeout);
    for (;;) {
        if (done)
            return 0;
        // Signed difference: the tick count wraps after 49 days.
        if (Timeout > 0 && int(lib::GetTickCount() - stop) > 0)
            return XSOCKET_WAIT_TIMEOUT;
        if ((rtl::Application() && rtl::Application()->Terminated()) || Terminated)
            return XSOCKET_WAIT_TIMEOUT;
        MessagePump();
        if (!life.InService())
            return done ? 0 : XSOCKET_WAIT_TIMEOUT;
        lib::Sleep(0);
    }
}

int TCustomSyncXSocket::RunAndWait(const std::function<void()>& proc, bool& done)
{
    done = false;
    if (proc) {
        const TCxLifeGuard life(this);
        proc();
        if (!life.InService())
            return done ? 0 : XSOCKET_WAIT_TIMEOUT;
    }
    return WaitForDone(done);
}

}  // namespace calyx
