// A plausible day of two virtual ports, told to whoever is connected.
#pragma once

#include "LogPeer.h"

namespace logpeer {

// Plays `rounds` rounds (0: until `stop` is signalled), `intervalMs` between records.
void RunDemo(LogPeer& peer, unsigned rounds, DWORD intervalMs, HANDLE stop);

}  // namespace logpeer
