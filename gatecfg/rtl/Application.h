#pragma once
// The application object: the thread's message processing and the flag that
// tells every loop that the program is ending.
#include <windows.h>

namespace rtl {

class TApplication {
public:
    // Handles every queued message; WM_QUIT sets Terminated instead.
    void ProcessMessages();
    // Waits for and handles one message (returns after WM_QUIT too).
    void HandleMessage();
    // Handles messages until Terminated.
    void Run();
    // Ends Run: posts WM_QUIT to the calling thread.
    void Terminate();

    bool Terminated() const noexcept { return FTerminated; }
    void SetTerminated(bool value) noexcept { FTerminated = value; }

private:
    bool ProcessMessage(MSG& msg);

    volatile bool FTerminated = false;
};

// The process's application object; exists between StartRuntime and StopRuntime.
TApplication* Application();

// Unit start-up and shut-down of the runtime, called from the program entry
// (and test fixtures); nested calls are counted.
void StartRuntime();
void StopRuntime();

}  // namespace rtl
