#pragma once
#include "LogPeer.h"
#include "support/PipeTestSupport.h"
#include <memory>

// A log-service peer listening on a pipe name of its own, without TCP.
inline std::unique_ptr<logpeer::LogPeer> StartPipeLogPeer()
{
    logpeer::PeerOptions options;
    options.pipeName = UniquePipeName();
    options.tcp = false;
    auto peer = std::make_unique<logpeer::LogPeer>(options);
    peer->StartListening();
    return peer;
}
