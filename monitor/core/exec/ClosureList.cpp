#include "exec/ClosureList.h"
#include "exec/ClosureOwner.h"
#include "runtime/BlockOwner.h"

namespace {

struct ClosureEntry {
    ListNode links;
    Closure closure;
};

}  // namespace

NtStatus ClosureListAppend(ListHead* list, const Closure* closure)
{
    auto* entry = static_cast<ClosureEntry*>(BlockAlloc(sizeof(ClosureEntry)));
    if (!entry)
        return kStatusNoMemory;
    ClosureCopy(&entry->closure, closure);
    ListPushBack(list, &entry->links);
    ++list->count;
    return kStatusSuccess;
}

void ClosureListInvokeAll(ListHead* list, BufferHandle* message)
{
    // A listener whose executor refuses the call misses this one message;
    // the others still get theirs.
    for (ListNode* n = list->first; n != ListSentinel(list); n = n->next)
        (void)ClosureCall(&reinterpret_cast<ClosureEntry*>(n)->closure, message);
}

void ClosureListRelease(ListHead* list)
{
    while (!ListIsEmpty(list)) {
        BlockOwner<ClosureEntry> entry(reinterpret_cast<ClosureEntry*>(ListPopFront(list)));
        auto closure = ClosureOwner::Adopt(entry->closure);
    }
}
