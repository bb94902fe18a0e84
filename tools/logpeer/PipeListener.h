// Serves a pipe name: keeps spare server instances waiting so that a monitor never finds
// the name without a free instance, and hands every connected instance on.
#pragma once

#include <functional>
#include <string>
#include <thread>

#include "win32/Handles.h"

namespace logpeer {

class PipeListener {
public:
    using AcceptFn = std::function<void(win32::UniqueHandle pipe)>;
    PipeListener(std::string path, AcceptFn onAccept);
    ~PipeListener();  // Stop()
    PipeListener(const PipeListener&) = delete;
    PipeListener& operator=(const PipeListener&) = delete;

    // Waiting instances exist when this returns true; false with the system error otherwise.
    bool Start(DWORD& error);
    void Stop();
    // Busy: the waiting instances go and one instance that the listener holds connected itself
    // keeps the name alive, so a monitor's open fails with 231 (all instances busy). Returns once
    // the change is in place.
    void SetBusy(bool busy);

private:
    void Run();

    const std::string path_;
    AcceptFn onAccept_;
    win32::UniqueHandle stop_, command_, ready_, done_;
    volatile LONG busy_ = 0;
    DWORD startError_ = 0;
    std::thread thread_;
};

}  // namespace logpeer
