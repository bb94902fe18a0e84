#pragma once
#include "runtime/ControlBlock.h"
#include <cstdint>

// How an object embeds the core's reference-counted members: a member gets a
// control block of its own whose parent is the containing object, and is
// followed in the object by a one-byte constructed flag that its release
// routine tests. Front-end monitor objects embed their channel and strand this
// way, the datagram sockets their strands.

// Makes the member's control block (destroy routine, parent = owner) and
// constructs the member in place; the flag is set only on success. 0 or the
// failure status (the flag stays 0). Serves every embedded type, for example
// a Strand (kStrandType) on which the object's callbacks run.
[[nodiscard]] NtStatus MemberCreate(void* member, uint8_t* constructed, PayloadConstruct construct,
                                    PayloadRoutine destroy, ControlBlock* owner);
// Strong-releases the member's control block when the flag is set, and clears it.
void MemberRelease(void* member, uint8_t* constructed);
void NoOpDestroy(void* payload);
