#pragma once
#include <gtest/gtest.h>
#include <cstdint>

// Base of every core test: starts the core before the test and shuts it down
// after, then fails the test unless every object and every tracked block it
// made has been released (the live counts are back where they were). The
// shut-down waits are shortened so that a leaking test fails in about a second.
class CoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static constexpr uint32_t kLeakWaitMs = 1000;

private:
    uint32_t objectsBefore_ = 0;
    uint32_t blocksBefore_ = 0;
};
