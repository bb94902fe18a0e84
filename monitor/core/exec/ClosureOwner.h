#pragma once
#include "exec/Closure.h"
#include "runtime/ValueOwner.h"

// Owns a Closure: its target's strong reference and its bound handle.
using ClosureOwner = ValueOwner<Closure, ClosureRelease, ClosureCopy>;
