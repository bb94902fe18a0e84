#pragma once
#include <gtest/gtest.h>
#include <cstdint>

struct ControlBlock;

// Base of every core test: starts the core before the test and shuts it down
// after, then fails the test unless every object and every tracked block it
// made has been released (the live counts are back where they were). The
// shut-down waits are shortened so that a leaking test fails in about a second.
class CoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static constexpr uint32_t kLeakWaitMs = 1000;

    // True once the object's strong count is 0 (the caller holds it weakly).
    // Nothing signals a destruction: the count is polled, with a generous deadline.
    static bool WaitDestroyed(ControlBlock* cb);

private:
    uint32_t objectsBefore_ = 0;
    uint32_t blocksBefore_ = 0;
};
