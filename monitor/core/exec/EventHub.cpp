#include "exec/EventHub.h"
#include "containers/Comparators.h"
#include "exec/ClosureList.h"
#include "exec/ClosureOwner.h"
#include "runtime/BlockOwner.h"
#include "runtime/HandleOwner.h"
#include "runtime/MessageView.h"
#include "runtime/ScopedLock.h"
#include <cstddef>
#include <cstring>
#include <initializer_list>

enum SubscriptionKind : uint32_t { kAllCodes = 0, kListedCodes = 1, kAllButCodes = 2 };
constexpr uint32_t kKindMask = 7;
constexpr uint32_t kExcluded = 8;  // set and cleared within one publish

struct EventSubscription {
    ListNode links;  // in the hub's list of its kind
    Closure closure;
    ListHead codeLinks;
    uint32_t flags;
};

namespace {

struct CodeEntry {
    ListNode links;  // in the hub's entry list
    MapNode* node;
    ListHead listed;  // code links of listed-code subscriptions
    ListHead allBut;  // code links of all-but subscriptions
};

struct CodeLink {
    ListNode inSubscription;
    ListNode inEntry;
    CodeEntry* entry;
    EventSubscription* subscription;
};

static_assert(sizeof(void*) == 4, "hub records are laid out in 32-bit words");

uint32_t KindOf(const EventSubscription* s) { return s->flags & kKindMask; }

ListHead* HubListOf(EventHub* hub, uint32_t kind)
{
    return kind == kAllCodes ? &hub->allCodes : kind == kListedCodes ? &hub->listedCodes : &hub->allButCodes;
}

ListHead* EntryListOf(CodeEntry* entry, uint32_t kind)
{
    return kind == kListedCodes ? &entry->listed : &entry->allBut;
}

CodeLink* LinkOfEntryNode(ListNode* n)
{
    return reinterpret_cast<CodeLink*>(reinterpret_cast<char*>(n) - offsetof(CodeLink, inEntry));
}

template <typename F>
void ForEach(ListHead* list, F visit)
{
    for (ListNode *n = list->first, *next; n != ListSentinel(list); n = next) {
        next = n->next;
        visit(n);
    }
}

CodeEntry* FindOrMakeEntry(EventHub* hub, uint32_t code)
{
    MapNode* node = OrderedMapFindOrInsert(&hub->byCode, MapKey(int32_t(code)));
    if (!node)
        return nullptr;
    if (node->value)
        return reinterpret_cast<CodeEntry*>(node->value);
    auto* entry = static_cast<CodeEntry*>(BlockAlloc(sizeof(CodeEntry)));
    if (!entry) {
        OrderedMapErase(&hub->byCode, node);
        return nullptr;
    }
    entry->node = node;
    ListInit(&entry->listed);
    ListInit(&entry->allBut);
    ListPushBack(&hub->entries, &entry->links);
    ++hub->entries.count;
    node->value = reinterpret_cast<uintptr_t>(entry);
    return entry;
}

// Under the lock: an entry that no subscription links any more goes, with its map node.
void DropEntryIfUnlinked(EventHub* hub, CodeEntry* entry)
{
    if (!ListIsEmpty(&entry->listed) || !ListIsEmpty(&entry->allBut))
        return;
    BlockOwner<CodeEntry> owned(entry);
    OrderedMapErase(&hub->byCode, entry->node);
    ListRemove(&hub->entries, &entry->links);
}

// Under the lock: the subscription's code links go, and with the last link of
// a code its entry and map node.
void DropCodeLinks(EventHub* hub, EventSubscription* s)
{
    while (!ListIsEmpty(&s->codeLinks)) {
        BlockOwner<CodeLink> link(reinterpret_cast<CodeLink*>(ListPopFront(&s->codeLinks)));
        ListRemove(EntryListOf(link->entry, KindOf(s)), &link->inEntry);
        DropEntryIfUnlinked(hub, link->entry);
    }
}

// A subscription's one teardown: the code links it still has (without their
// entries), its closure, its block.
void FreeSubscription(EventSubscription* s)
{
    BlockOwner<EventSubscription> owned(s);
    auto closure = ClosureOwner::Adopt(s->closure);
    while (!ListIsEmpty(&s->codeLinks)) {
        BlockOwner<ListNode> link(ListPopFront(&s->codeLinks));
    }
}

bool AlreadyLinked(EventSubscription* s, CodeEntry* entry)
{
    for (ListNode* n = s->codeLinks.first; n != ListSentinel(&s->codeLinks); n = n->next)
        if (reinterpret_cast<CodeLink*>(n)->entry == entry)
            return true;
    return false;
}

EventSubscription* Subscribe(EventHub* hub, const Closure* closure, uint32_t kind, const uint32_t* codes,
                             uint32_t count)
{
    auto* s = static_cast<EventSubscription*>(BlockAlloc(sizeof(EventSubscription)));
    if (!s)
        return nullptr;
    ClosureCopy(&s->closure, closure);
    ListInit(&s->codeLinks);
    s->flags = kind;
    ScopedLock hold(hub->lock);
    for (uint32_t i = 0; i < count; ++i) {
        CodeEntry* entry = FindOrMakeEntry(hub, codes[i]);
        if (entry && AlreadyLinked(s, entry))
            continue;
        auto* link = entry ? static_cast<CodeLink*>(BlockAlloc(sizeof(CodeLink))) : nullptr;
        if (!link) {
            if (entry)
                DropEntryIfUnlinked(hub, entry);
            DropCodeLinks(hub, s);
            FreeSubscription(s);
            return nullptr;
        }
        *link = {{}, {}, entry, s};
        ListPushBack(&s->codeLinks, &link->inSubscription);
        ++s->codeLinks.count;
        ListHead* entryList = EntryListOf(entry, kind);
        ListPushBack(entryList, &link->inEntry);
        ++entryList->count;
    }
    ListHead* list = HubListOf(hub, kind);
    ListPushBack(list, &s->links);
    ++list->count;
    return s;
}

// Under the lock: copies of the matching closures, in publishing order.
bool Collect(EventHub* hub, uint32_t code, ListHead* out)
{
    bool complete = true;
    auto append = [&](EventSubscription* s) {
        complete = complete && ClosureListAppend(out, &s->closure) == kStatusSuccess;
    };
    ForEach(&hub->allCodes, [&](ListNode* n) { append(reinterpret_cast<EventSubscription*>(n)); });
    MapNode* node = OrderedMapFind(&hub->byCode, MapKey(int32_t(code)));
    CodeEntry* entry = node ? reinterpret_cast<CodeEntry*>(node->value) : nullptr;
    if (entry) {
        ForEach(&entry->listed, [&](ListNode* n) { append(LinkOfEntryNode(n)->subscription); });
        ForEach(&entry->allBut, [&](ListNode* n) { LinkOfEntryNode(n)->subscription->flags |= kExcluded; });
    }
    ForEach(&hub->allButCodes, [&](ListNode* n) {
        auto* s = reinterpret_cast<EventSubscription*>(n);
        if (s->flags & kExcluded)
            s->flags &= ~kExcluded;
        else
            append(s);
    });
    return complete;
}

void ReleaseEmbeddedPayload(void* message)
{
    HandleOwner::Adopt(static_cast<EventHubMessage*>(message)->payload);  // goes with the temporary owner
}

// Invokes the collected closures with the message that `build` makes, once
// something matched; 0 and nobody invoked when collecting or building fails.
template <typename Build>
uint32_t Publish(EventHub* hub, uint32_t code, Build build)
{
    ListHead collected;
    ListInit(&collected);
    bool complete;
    {
        ScopedLock hold(hub->lock);
        complete = Collect(hub, code, &collected);
    }
    const uint32_t count = collected.count;
    HandleOwner message;
    const bool built = count != 0 && complete && build(message.get()) == kStatusSuccess;
    if (built)
        ClosureListInvokeAll(&collected, message.get());
    ClosureListRelease(&collected);
    return built ? count : 0;
}

}  // namespace

void EventHubInit(EventHub* hub)
{
    InitializeCriticalSection(&hub->lock);
    ListInit(&hub->allCodes);
    ListInit(&hub->listedCodes);
    ListInit(&hub->allButCodes);
    ListInit(&hub->entries);
    OrderedMapInit(&hub->byCode, CompareInt32);
}

void EventHubDestroy(EventHub* hub)
{
    for (ListHead* list : {&hub->allCodes, &hub->listedCodes, &hub->allButCodes})
        while (!ListIsEmpty(list))
            FreeSubscription(reinterpret_cast<EventSubscription*>(ListPopFront(list)));
    while (!ListIsEmpty(&hub->entries)) {
        BlockOwner<ListNode> entry(ListPopFront(&hub->entries));
    }
    OrderedMapReset(&hub->byCode);
    DeleteCriticalSection(&hub->lock);
}

EventSubscription* EventHubSubscribeAll(EventHub* hub, const Closure* closure)
{
    return Subscribe(hub, closure, kAllCodes, nullptr, 0);
}

EventSubscription* EventHubSubscribeCodes(EventHub* hub, const Closure* closure, const uint32_t* codes,
                                          uint32_t count)
{
    return Subscribe(hub, closure, kListedCodes, codes, count);
}

EventSubscription* EventHubSubscribeAllBut(EventHub* hub, const Closure* closure, const uint32_t* codes,
                                           uint32_t count)
{
    return Subscribe(hub, closure, kAllButCodes, codes, count);
}

void EventHubUnsubscribe(EventHub* hub, EventSubscription* subscription)
{
    if (!subscription)
        return;
    {
        ScopedLock hold(hub->lock);
        DropCodeLinks(hub, subscription);
        ListRemove(HubListOf(hub, KindOf(subscription)), &subscription->links);
    }
    FreeSubscription(subscription);
}

uint32_t EventHubPublish(EventHub* hub, uint32_t code, const void* first, uint32_t firstLength, ...)
{
    va_list more;
    va_start(more, firstLength);
    uint32_t invoked = EventHubPublishList(hub, code, first, firstLength, more);
    va_end(more);
    return invoked;
}

uint32_t EventHubPublishList(EventHub* hub, uint32_t code, const void* first, uint32_t firstLength,
                             va_list more)
{
    // The pieces are walked twice: once to size the buffer, once to fill it.
    auto forEachPiece = [&](auto visit) {
        va_list walk;
        va_copy(walk, more);
        const void* piece = first;
        uint32_t length = firstLength;
        while (piece) {
            visit(piece, length);
            piece = va_arg(walk, const void*);
            if (piece)
                length = va_arg(walk, uint32_t);
        }
        va_end(walk);
    };
    return Publish(hub, code, [&](BufferHandle* message) {
        uint64_t total = 0;
        forEachPiece([&](const void*, uint32_t length) { total += length; });
        if (total > UINT32_MAX - sizeof(EventHubMessage))
            return kStatusNoMemory;
        const uint32_t size = uint32_t(total);
        NtStatus status = BufAlloc(message, nullptr, size ? ReleaseEmbeddedPayload : nullptr,
                                   sizeof(EventHubMessage) + size);
        if (status != kStatusSuccess)
            return status;
        MessageView<EventHubMessage> m(message);
        char* out = reinterpret_cast<char*>(m.get() + 1);
        m->code = code;
        m->payload = {};
        // Weak, so that the buffer holds no strong reference on itself.
        if (size)
            BufHandleInit(&m->payload, message->cb, out, size, 1);
        forEachPiece([&](const void* piece, uint32_t length) {
            std::memcpy(out, piece, length);
            out += length;
        });
        return kStatusSuccess;
    });
}

uint32_t EventHubPublishHandle(EventHub* hub, uint32_t code, const BufferHandle* payload)
{
    return Publish(hub, code, [&](BufferHandle* message) {
        NtStatus status = BufAlloc(message, nullptr, ReleaseEmbeddedPayload, sizeof(EventHubMessage));
        if (status != kStatusSuccess)
            return status;
        MessageView<EventHubMessage> m(message);
        BufHandleCopy(&m->payload, payload);
        m->code = code;
        return kStatusSuccess;
    });
}
