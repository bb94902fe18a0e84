#include "IdleHandlers.h"

#include <algorithm>
#include <cassert>
#include <vector>

namespace {

std::vector<CIdleHandler*>& Handlers()
{
    thread_local std::vector<CIdleHandler*> handlers;
    return handlers;
}

bool IsRegistered(CIdleHandler* handler)
{
    const auto& handlers = Handlers();
    return std::find(handlers.begin(), handlers.end(), handler) != handlers.end();
}

}  // namespace

void AddIdleHandler(CIdleHandler* handler)
{
    assert(handler && !IsRegistered(handler));
    Handlers().push_back(handler);
}

void RemoveIdleHandler(CIdleHandler* handler)
{
    auto& handlers = Handlers();
    handlers.erase(std::remove(handlers.begin(), handlers.end(), handler), handlers.end());
}

void RunIdleHandlers()
{
    // A handler may close a window and with it remove other handlers: work on a copy.
    const std::vector<CIdleHandler*> handlers = Handlers();
    for (CIdleHandler* handler : handlers)
        if (IsRegistered(handler))
            handler->OnIdle();
}
