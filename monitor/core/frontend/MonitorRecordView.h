#pragma once
#include <cstdint>

// One log record split into its parts, pointing into the caller's bytes:
// u32 code, u32 not read, NUL-terminated device name, payload to the end.
struct MonitorRecordView {
    uint32_t code;
    const char* name;        // NUL-terminated, inside the record
    uint32_t nameLength;     // without the NUL
    const uint8_t* payload;  // just after the name's NUL (the record's end when empty)
    uint32_t payloadLength;
};

// Splits the `size` bytes at `data`; false (view untouched) when the record is
// shorter than 9 bytes or holds no NUL after the two header words. Reads no
// byte outside [data, data + size).
bool SplitMonitorRecord(const void* data, uint32_t size, MonitorRecordView* view);
