#pragma once
#include <cstdint>

// True when `bytes` hold one self-relative security descriptor whose parts
// (owner, group, both access lists) all lie inside the n bytes and are valid.
// The bytes must be 4-byte aligned.
bool SecurityDescriptorCheck(const void* bytes, uint32_t n);
