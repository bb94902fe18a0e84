#pragma once
#include "exec/MemberBinding.h"
#include "runtime/MemberEmbedding.h"
#include "runtime/Platform.h"

// What a front end's monitor object is built with: members embedded with a
// control block of their own (MemberCreate), callbacks bound to member
// functions that hold the object weakly (BindMember), and the platform query
// that chooses the log service's endpoint (IsNtPlatform: the named pipe on NT,
// TCP elsewhere).
