#pragma once
#include <windows.h>

// A manual-reset event for ordering test threads without sleeps.
class TestEvent {
public:
    TestEvent() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~TestEvent() { CloseHandle(handle_); }
    TestEvent(const TestEvent&) = delete;
    TestEvent& operator=(const TestEvent&) = delete;

    void Set() { SetEvent(handle_); }
    // Generous bound: a loaded machine is slow, but a lost wake-up must not hang the suite.
    bool Wait(DWORD ms = 30000) { return WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0; }
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_;
};
