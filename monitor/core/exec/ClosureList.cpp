#include "exec/ClosureList.h"
#include "runtime/TrackedBlock.h"

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
        auto* entry = reinterpret_cast<ClosureEntry*>(ListPopFront(list));
        ClosureRelease(&entry->closure);
        BlockRelease(entry);
    }
}
