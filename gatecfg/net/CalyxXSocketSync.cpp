#include "net/CalyxXSocketSync.h"

#include "net/CalyxLibrary.h"
#include "rtl/Application.h"

namespace calyx {

int TCustomSyncXSocket::WaitForDone(bool& done)
{
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
        lib::Sleep(0);
    }
}

int TCustomSyncXSocket::RunAndWait(const std::function<void()>& proc, bool& done)
{
    done = false;
    if (proc)
        proc();
    return WaitForDone(done);
}

}  // namespace calyx
