#pragma once
#include "net/AddressRecord.h"
#include "runtime/StatusCodes.h"

// Reads address records from bytes that nobody vouches for (the wire, a
// caller's buffer): every field is checked before it is used. Failures are
// kStatusInvalidAddress (invalid address).

// The bytes begin with one whole record: 8 <= total size <= available.
[[nodiscard]] NtStatus AddressRecordCheck(const void* bytes, uint32_t available);

// The fields of a pipe record, pointing into the record.
struct PipeRecordView {
    const void* name;     // the name's first unit (never null)
    uint32_t nameUnits;   // before the terminator
    bool wide;            // UTF-16 units, else bytes
    const void* extra;    // the security descriptor, or null
    uint32_t extraBytes;
};

// A pipe record (type word 0x00060141): either the 8-byte default record (no
// name, no extra data) or one with its flags word, an extra offset of 0 or
// 12 <= offset <= total size, and a terminator inside the name field (an even
// field length for UTF-16).
[[nodiscard]] NtStatus PipeRecordRead(const void* bytes, uint32_t available, PipeRecordView* view);
