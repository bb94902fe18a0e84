#pragma once
#include "channel/StreamStage.h"
#include "exec/ReleaseNotifier.h"
#include "support/TestThreads.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <deque>
#include <string>
#include <vector>

// A consumer that takes what its script says (everything once the script is
// empty) and keeps the bytes it took.
struct Sink {
    std::string taken;
    std::deque<uint32_t> script;
    std::vector<uint32_t> offered;  // sizes, in order
    TestEvent wasOffered;
};

inline void Take(Sink* sink, StageOffer* offer)
{
    uint32_t size = offer->offered->size;
    sink->offered.push_back(size);
    if (!sink->script.empty()) {
        offer->accepted = sink->script.front();
        sink->script.pop_front();
    }
    sink->taken.append(static_cast<const char*>(offer->offered->data), std::min(offer->accepted, size));
    sink->wasOffered.Set();
}

inline void TakeScripted(BufferHandle* bound, BufferHandle* message)
{
    Take(static_cast<Sink*>(bound->data), static_cast<StageOffer*>(message->data));
}

inline Closure ConsumerFor(Sink& sink, ExecutorRecord* target = nullptr)
{
    return {TakeScripted, target, {&sink, nullptr, 0, 0}};
}

// A chunk as an upstream reader hands it on: a buffer whose release notifier
// tells the reader that every byte is gone.
struct Releases {
    int count = 0;
};

inline void CountRelease(BufferHandle* bound, BufferHandle*) { ++static_cast<Releases*>(bound->data)->count; }

inline BufferHandle Chunk(const std::string& bytes, ClosureRoutine onRelease, void* context)
{
    BufferHandle h;
    EXPECT_EQ(BufAlloc(&h, ReleaseNotifierInit, ReleaseNotifierFire,
                       sizeof(ReleaseNotifier) + static_cast<uint32_t>(bytes.size())),
              kStatusSuccess);
    BufferHandle bound = {context, nullptr, 0, 0};
    ClosureInit(&static_cast<ReleaseNotifier*>(h.data)->closure, onRelease, nullptr, &bound);
    h.data = static_cast<char*>(h.data) + sizeof(ReleaseNotifier);
    h.size = static_cast<uint32_t>(bytes.size());
    bytes.copy(static_cast<char*>(h.data), bytes.size());
    return h;
}

inline BufferHandle Chunk(const std::string& bytes, Releases* releases = nullptr)
{
    return Chunk(bytes, releases ? CountRelease : nullptr, releases);
}
