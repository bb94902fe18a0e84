#pragma once
#include <cstdint>

// Circular doubly linked list whose head doubles as the sentinel node: an empty
// list has first = last = the head. Any node can stand in as the "head" of an
// insertion next to it: ListPushBack(node) links before it, ListPushFront(node)
// after it (the count word is not touched by linking).
struct ListNode {
    ListNode* next;
    ListNode* previous;
};

struct ListHead {
    ListNode* first;
    ListNode* last;
    uint32_t count;
};

static_assert(sizeof(void*) == 4, "list nodes are two 32-bit words");
static_assert(sizeof(ListNode) == 8 && sizeof(ListHead) == 12, "list layouts");

inline ListNode* ListSentinel(ListHead* head) { return reinterpret_cast<ListNode*>(head); }
inline ListHead* ListHeadAt(ListNode* node) { return reinterpret_cast<ListHead*>(node); }
inline bool ListIsEmpty(const ListHead* head)
{
    return head->first == reinterpret_cast<const ListNode*>(head);
}

void ListInit(ListHead* head);
// Linking only; the caller adds 1 to the count.
void ListPushBack(ListHead* head, ListNode* node);
void ListPushFront(ListHead* head, ListNode* node);
// Unlink with count - 1; ListRemove returns the new count. The pops need a non-empty list.
uint32_t ListRemove(ListHead* head, ListNode* node);
ListNode* ListPopFront(ListHead* head);
ListNode* ListPopBack(ListHead* head);
// All source nodes after the destination's last / before its first; the source is left empty.
void ListSpliceBack(ListHead* destination, ListHead* source);
void ListSpliceFront(ListHead* destination, ListHead* source);
// The destination takes over the source's nodes and count, dropping what it held untouched.
void ListMove(ListHead* destination, ListHead* source);
