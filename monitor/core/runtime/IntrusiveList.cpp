#include "runtime/IntrusiveList.h"

#include <cassert>

namespace {

void Unlink(ListNode* node)
{
    node->previous->next = node->next;
    node->next->previous = node->previous;
}

// Links the chain first..last between `before` and `after`.
void LinkChain(ListNode* before, ListNode* first, ListNode* last, ListNode* after)
{
    first->previous = before;
    last->next = after;
    before->next = first;
    after->previous = last;
}

}  // namespace

void ListInit(ListHead* head)
{
    head->first = head->last = ListSentinel(head);
    head->count = 0;
}

void ListPushBack(ListHead* head, ListNode* node)
{
    LinkChain(head->last, node, node, ListSentinel(head));
}

void ListPushFront(ListHead* head, ListNode* node)
{
    LinkChain(ListSentinel(head), node, node, head->first);
}

uint32_t ListRemove(ListHead* head, ListNode* node)
{
    // Every linked node was counted by the one who linked it.
    assert(head->count != 0 && node != ListSentinel(head));
    Unlink(node);
    return --head->count;
}

ListNode* ListPopFront(ListHead* head)
{
    ListNode* node = head->first;
    ListRemove(head, node);
    return node;
}

ListNode* ListPopBack(ListHead* head)
{
    ListNode* node = head->last;
    ListRemove(head, node);
    return node;
}

void ListSpliceBack(ListHead* destination, ListHead* source)
{
    if (ListIsEmpty(source))
        return;
    LinkChain(destination->last, source->first, source->last, ListSentinel(destination));
    destination->count += source->count;
    ListInit(source);
}

void ListSpliceFront(ListHead* destination, ListHead* source)
{
    if (ListIsEmpty(source))
        return;
    LinkChain(ListSentinel(destination), source->first, source->last, destination->first);
    destination->count += source->count;
    ListInit(source);
}

void ListMove(ListHead* destination, ListHead* source)
{
    ListInit(destination);
    ListSpliceBack(destination, source);
}
