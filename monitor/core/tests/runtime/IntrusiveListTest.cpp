#include "runtime/IntrusiveList.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Item {
    ListNode links;
    int value;
};

std::vector<int> Values(ListHead* head)
{
    std::vector<int> values;
    for (ListNode* n = head->first; n != ListSentinel(head); n = n->next)
        values.push_back(reinterpret_cast<Item*>(n)->value);
    std::vector<int> backwards;
    for (ListNode* n = head->last; n != ListSentinel(head); n = n->previous)
        backwards.insert(backwards.begin(), reinterpret_cast<Item*>(n)->value);
    EXPECT_EQ(values, backwards) << "next and previous links disagree";
    return values;
}

void Append(ListHead* head, Item& item)
{
    ListPushBack(head, &item.links);
    ++head->count;
}

TEST(IntrusiveList, LinkingRemovingAndPopping)
{
    Item items[5] = {{{}, 1}, {{}, 2}, {{}, 3}, {{}, 4}, {{}, 5}};
    ListHead list;
    ListInit(&list);
    EXPECT_TRUE(ListIsEmpty(&list));
    Append(&list, items[1]);
    Append(&list, items[2]);
    ListPushFront(&list, &items[0].links);
    ++list.count;
    EXPECT_EQ(Values(&list), (std::vector<int>{1, 2, 3}));

    // A node stands in as the head of an insertion next to it.
    ListPushBack(ListHeadAt(&items[2].links), &items[3].links);   // before 3
    ListPushFront(ListHeadAt(&items[0].links), &items[4].links);  // after 1
    list.count += 2;
    EXPECT_EQ(Values(&list), (std::vector<int>{1, 5, 2, 4, 3}));

    EXPECT_EQ(ListRemove(&list, &items[1].links), 4u);
    EXPECT_EQ(reinterpret_cast<Item*>(ListPopFront(&list))->value, 1);
    EXPECT_EQ(reinterpret_cast<Item*>(ListPopBack(&list))->value, 3);
    EXPECT_EQ(list.count, 2u);
    EXPECT_EQ(Values(&list), (std::vector<int>{5, 4}));
    ListPopBack(&list);
    ListPopBack(&list);
    EXPECT_TRUE(ListIsEmpty(&list));
    EXPECT_EQ(list.count, 0u);
}

TEST(IntrusiveList, SplicingAndMovingCarryNodesAndCounts)
{
    Item items[4] = {{{}, 1}, {{}, 2}, {{}, 3}, {{}, 4}};
    ListHead a, b, empty;
    ListInit(&a);
    ListInit(&b);
    ListInit(&empty);
    Append(&a, items[0]);
    Append(&b, items[1]);
    Append(&b, items[2]);

    ListSpliceBack(&a, &empty);
    ListSpliceFront(&a, &empty);
    EXPECT_EQ(Values(&a), (std::vector<int>{1}));
    EXPECT_EQ(a.count, 1u);
    EXPECT_TRUE(ListIsEmpty(&empty));

    ListSpliceBack(&a, &b);
    EXPECT_EQ(Values(&a), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(a.count, 3u);
    EXPECT_TRUE(ListIsEmpty(&b));
    EXPECT_EQ(b.count, 0u);

    Append(&b, items[3]);
    ListSpliceFront(&a, &b);
    EXPECT_EQ(Values(&a), (std::vector<int>{4, 1, 2, 3}));
    ListSpliceFront(&b, &a);  // into an empty list
    EXPECT_EQ(Values(&b), (std::vector<int>{4, 1, 2, 3}));

    ListMove(&a, &b);
    EXPECT_EQ(Values(&a), (std::vector<int>{4, 1, 2, 3}));
    EXPECT_EQ(a.count, 4u);
    EXPECT_TRUE(ListIsEmpty(&b));
    ListMove(&a, &b);  // an empty source leaves the destination empty
    EXPECT_TRUE(ListIsEmpty(&a));
    EXPECT_EQ(a.count, 0u);
}

}  // namespace
