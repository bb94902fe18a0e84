#pragma once
#include <cstdint>

// NT-style result of every core operation: 0 success, 259 queued, 0xC....... failures.
typedef uint32_t NtStatus;

constexpr NtStatus kStatusSuccess = 0;
constexpr NtStatus kStatusPending = 259;
constexpr NtStatus kStatusUnsuccessful = 0xC0000001;
constexpr NtStatus kStatusNotImplemented = 0xC0000002;
constexpr NtStatus kStatusInvalidParameter = 0xC000000D;
constexpr NtStatus kStatusNoMemory = 0xC000009A;
constexpr NtStatus kStatusCancelled = 0xC0000120;
constexpr NtStatus kStatusInvalidAddress = 0xC0000141;
constexpr NtStatus kStatusInvalidState = 0xC0000184;
constexpr NtStatus kStatusConnectionReset = 0xC000020D;

// True for 0 and 259, the two results that mean the work was accepted.
inline bool StatusAccepted(NtStatus s) { return s == kStatusSuccess || s == kStatusPending; }
