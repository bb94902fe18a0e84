#pragma once
// The wait layer of the socket chain, and TXSocket, the final class of it.
#include <functional>

#include "net/CalyxXSocketLine.h"

namespace calyx {

// Returned when a wait ends without its flag: time-out or end of the loop.
constexpr int XSOCKET_WAIT_TIMEOUT = 12001;

class TCustomSyncXSocket : public TCustomLineXSocket {
public:
    explicit TCustomSyncXSocket(rtl::TComponent* owner) : TCustomLineXSocket(owner) {}

    int Timeout = 0;  // milliseconds; 0 waits for ever

    // Runs the thread's messages until done is set (0), the time-out passes,
    // the application terminates or the control's own loop has ended.
    virtual int WaitForDone(bool& done);
    // Clears done, runs proc and waits for done.
    virtual int RunAndWait(const std::function<void()>& proc, bool& done);

protected:
    ~TCustomSyncXSocket() override = default;
};

class TXSocket : public TCustomSyncXSocket {
public:
    explicit TXSocket(rtl::TComponent* owner) : TCustomSyncXSocket(owner) {}

protected:
    ~TXSocket() override = default;
};

}  // namespace calyx
