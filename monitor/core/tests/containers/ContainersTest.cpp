#include "containers/Comparators.h"
#include "containers/CountedArray.h"
#include "containers/OrderedMap.h"
#include "runtime/BufferHandle.h"
#include "runtime/TrackedBlock.h"
#include "support/CoreTestFixture.h"
#include <cstring>
#include <map>
#include <random>
#include <vector>

namespace {

class Containers : public CoreTest {};

// Checks the red-black rules below `node`; returns its black height.
int CheckSubtree(const OrderedMap* map, const MapNode* node, const MapNode* parent, int* nodes)
{
    const MapNode* nil = map->policy->nil;
    if (node == nil)
        return 1;
    ++*nodes;
    EXPECT_EQ(node->parent, parent) << "parent link of key " << node->key;
    if (node->color == kMapRed) {
        EXPECT_NE(node->left->color, kMapRed) << "red node with red child, key " << node->key;
        EXPECT_NE(node->right->color, kMapRed) << "red node with red child, key " << node->key;
    }
    if (node->left != nil) {
        EXPECT_LT(map->compare(node->left->key, node->key), 0);
    }
    if (node->right != nil) {
        EXPECT_GT(map->compare(node->right->key, node->key), 0);
    }
    int left = CheckSubtree(map, node->left, node, nodes);
    int right = CheckSubtree(map, node->right, node, nodes);
    EXPECT_EQ(left, right) << "black heights differ below key " << node->key;
    return left + (node->color == kMapBlack ? 1 : 0);
}

void CheckAgainst(const OrderedMap* map, const std::map<int32_t, uint32_t>& model)
{
    int nodes = 0;
    if (map->root != map->policy->nil) {
        EXPECT_EQ(map->root->color, kMapBlack);
        EXPECT_EQ(map->root->parent, nullptr);
    }
    CheckSubtree(map, map->root, nullptr, &nodes);
    ASSERT_EQ(static_cast<size_t>(nodes), model.size());
    ASSERT_EQ(OrderedMapCount(map), model.size());
    auto it = model.begin();
    ListHead* list = const_cast<ListHead*>(&map->nodes);
    for (ListNode* n = list->first; n != ListSentinel(list); n = n->next, ++it) {
        ASSERT_NE(it, model.end());
        EXPECT_EQ(static_cast<int32_t>(MapNodeOf(n)->key), it->first);
        EXPECT_EQ(MapNodeOf(n)->value, it->second);
    }
    EXPECT_EQ(it, model.end());
}

TEST_F(Containers, MapMatchesAModelUnderRandomInsertsAndErases)
{
    const MapNode nilBefore = *kRedBlackPolicy.nil;
    OrderedMap map;
    OrderedMapInit(&map, CompareInt32);
    std::map<int32_t, uint32_t> model;
    std::mt19937 random(20240501);
    for (int step = 0; step < 4000; ++step) {
        int32_t key = static_cast<int32_t>(random() % 300) - 150;
        switch (random() % 3) {
        case 0:
        case 1: {
            MapNode* node = OrderedMapFindOrInsert(&map, static_cast<MapKey>(key));
            ASSERT_NE(node, nullptr);
            if (!model.count(key)) {
                EXPECT_EQ(node->value, 0u);
            }
            node->value = step;
            model[key] = step;
            break;
        }
        default:
            EXPECT_EQ(OrderedMapRemoveKey(&map, static_cast<MapKey>(key)), static_cast<int>(model.erase(key)));
        }
        CheckAgainst(&map, model);
        if (HasFatalFailure() || HasNonfatalFailure())
            FAIL() << "at step " << step;
    }
    for (auto& [key, value] : model)
        EXPECT_EQ(OrderedMapFind(&map, static_cast<MapKey>(key))->value, value);
    EXPECT_EQ(OrderedMapFind(&map, static_cast<MapKey>(1000)), nullptr);
    EXPECT_EQ(std::memcmp(&nilBefore, kRedBlackPolicy.nil, sizeof(MapNode)), 0) << "the nil node was written";
    OrderedMapReset(&map);
}

TEST_F(Containers, SmallMapShapeAndTwoChildEraseKeepsAddresses)
{
    OrderedMap map;
    OrderedMapInit(&map, CompareInt32);
    for (MapKey k : {1u, 3u, 2u})
        OrderedMapFindOrInsert(&map, k);
    EXPECT_EQ(map.root->key, 2u);
    EXPECT_EQ(map.root->color, kMapBlack);
    std::vector<MapKey> order;
    for (ListNode* n = map.nodes.first; n != ListSentinel(&map.nodes); n = n->next)
        order.push_back(MapNodeOf(n)->key);
    EXPECT_EQ(order, (std::vector<MapKey>{1, 2, 3}));

    for (MapKey k = 4; k <= 20; ++k)
        OrderedMapFindOrInsert(&map, k)->value = k * 10;
    std::map<int32_t, uint32_t> model;
    std::map<MapKey, MapNode*> addresses;
    for (ListNode* n = map.nodes.first; n != ListSentinel(&map.nodes); n = n->next) {
        model[MapNodeOf(n)->key] = MapNodeOf(n)->value;
        addresses[MapNodeOf(n)->key] = MapNodeOf(n);
    }
    // Erase nodes with two children until none is left that has them.
    for (;;) {
        MapNode* victim = nullptr;
        for (ListNode* n = map.nodes.first; n != ListSentinel(&map.nodes); n = n->next)
            if (MapNodeOf(n)->left != kRedBlackPolicy.nil && MapNodeOf(n)->right != kRedBlackPolicy.nil)
                victim = MapNodeOf(n);
        if (!victim)
            break;
        MapKey key = victim->key;
        OrderedMapErase(&map, victim);
        model.erase(static_cast<int32_t>(key));
        addresses.erase(key);
        CheckAgainst(&map, model);
        for (auto& [k, node] : addresses) {
            ASSERT_EQ(OrderedMapFind(&map, k), node) << "node of key " << k << " moved";
            EXPECT_EQ(node->value, model[static_cast<int32_t>(k)]);
        }
    }

    OrderedMapClear(&map);
    EXPECT_EQ(map.root, kRedBlackPolicy.nil) << "clear left the root at freed nodes";
    EXPECT_EQ(OrderedMapFind(&map, 5), nullptr);
    EXPECT_NE(OrderedMapFindOrInsert(&map, 5), nullptr);
    CheckAgainst(&map, {{5, 0}});
    OrderedMapClear(&map);
}

TEST_F(Containers, FailedInsertLeavesTheMapAsItWas)
{
    OrderedMap map;
    OrderedMapInit(&map, CompareInt32);
    OrderedMapFindOrInsert(&map, 1);
    BlockAllocFailAfter(0);
    EXPECT_EQ(OrderedMapFindOrInsert(&map, 2), nullptr);
    EXPECT_NE(OrderedMapFindOrInsert(&map, 1), nullptr) << "finding needs no allocation";
    BlockAllocFailAfter(-1);
    CheckAgainst(&map, {{1, 0}});
    OrderedMapClear(&map);
}

TEST(Comparators, OrderPerKind)
{
    struct Case {
        MapComparator compare;
        MapKey a, b;
        int expected;
    };
    static const wchar_t wAbc[] = L"abc", wABD[] = L"ABD";
    static const unsigned char idLow[16] = {1}, idHigh[16] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80};
    char shortData[] = "zz", longData[] = "aaa", other[] = "aab";
    BufferHandle shortH = {shortData, nullptr, 0, 2}, longH = {longData, nullptr, 0, 3},
                 otherH = {other, nullptr, 0, 3};
    auto key = [](const void* p) { return reinterpret_cast<MapKey>(p); };
    const Case cases[] = {
        {CompareInt32, static_cast<MapKey>(-1), 1, -1},
        {CompareInt32, 5, 5, 0},
        {CompareUInt32, static_cast<MapKey>(-1), 1, 1},
        {CompareCString, key("abc"), key("abd"), -1},
        {CompareCString, key("\xe9"), key("a"), 1},  // bytes compare unsigned
        {CompareCString, 0, 0, 0},
        {CompareCString, 0, key(""), -1},
        {CompareCString, key(""), 0, 1},
        {CompareCStringNoCase, key("ABC"), key("abc"), 0},
        {CompareCStringNoCase, key("abc"), key("ABD"), -1},
        {CompareWString, key(wAbc), key(wABD), 1},
        {CompareWStringNoCase, key(wAbc), key(wABD), -1},
        {CompareWStringNoCase, 0, key(wAbc), -1},
        {CompareId16, key(idHigh), key(idLow), 1},
        {CompareId16, key(idLow), key(idLow), 0},
        {CompareBufferHandle, key(&longH), key(&shortH), 1},  // smaller size first
        {CompareBufferHandle, key(&longH), key(&otherH), -1},
        {CompareBufferHandle, key(&otherH), key(&otherH), 0},
    };
    int i = 0;
    for (const Case& c : cases)
        EXPECT_EQ(c.compare(c.a, c.b), c.expected) << "case " << i++;
}

TEST_F(Containers, ArrayGrowsInStepsOfEightAndNeverShrinks)
{
    void* array = nullptr;
    struct Case {
        uint32_t before, n, capacity;
    } cases[] = {{0, 7, 8}, {0, 8, 16}, {7, 8, 8}, {8, 16, 16}, {8, 17, 24}, {17, 3, 24}};
    for (const Case& c : cases) {
        ASSERT_EQ(ArrayReserve(&array, c.before, 4), kStatusSuccess);
        ASSERT_EQ(ArrayReserve(&array, c.n, 4), kStatusSuccess);
        EXPECT_EQ(ArrayCapacity(array), c.capacity) << c.before << " then " << c.n;
        EXPECT_EQ(ArrayCount(array), 0u);
        ArrayFree(&array);
        EXPECT_EQ(array, nullptr);
    }

    // Reservations that cannot be had leave count and contents alone.
    ASSERT_EQ(ArrayInsertU32(&array, 0, 7), kStatusSuccess);
    for (uint32_t n : {0xFFFFFFFFu, 0x40000000u, 0x1FFFFFFFu}) {
        EXPECT_EQ(ArrayResize(&array, n, 4), kStatusNoMemory) << n;
        EXPECT_EQ(ArrayCount(array), 1u);
        EXPECT_LE(ArrayCount(array), ArrayCapacity(array));
    }
    BlockAllocFailAfter(0);
    EXPECT_EQ(ArrayResize(&array, 100, 4), kStatusNoMemory);
    BlockAllocFailAfter(-1);
    EXPECT_EQ(ArrayCount(array), 1u);
    EXPECT_EQ(static_cast<uint32_t*>(array)[0], 7u);
    ArrayFree(&array);
}

std::vector<int> Elements(void* array)
{
    auto* p = static_cast<int*>(array);
    return std::vector<int>(p, p + ArrayCount(array));
}

TEST_F(Containers, ArrayEditsAndRangeChecks)
{
    void* array = nullptr;
    const int start[] = {0, 1, 2, 3, 4};
    ASSERT_EQ(ArrayAssign(&array, start, 5, sizeof(int)), kStatusSuccess);
    const int two[] = {8, 9};
    ASSERT_EQ(ArrayInsert(&array, 1, two, 2, sizeof(int)), kStatusSuccess);
    EXPECT_EQ(Elements(array), (std::vector<int>{0, 8, 9, 1, 2, 3, 4}));
    ASSERT_EQ(ArrayInsert(&array, 100, nullptr, 1, sizeof(int)), kStatusSuccess);  // beyond: appends zeros
    EXPECT_EQ(Elements(array), (std::vector<int>{0, 8, 9, 1, 2, 3, 4, 0}));

    struct Bad {
        uint32_t index, n;
    } bad[] = {{7, 2}, {9, 1}, {0, 9}, {1, 0xFFFFFFFFu}, {0xFFFFFFFFu, 2}};
    for (const Bad& b : bad) {
        EXPECT_EQ(ArrayErase(&array, b.index, b.n, sizeof(int)), kStatusInvalidParameter) << b.index << "+" << b.n;
        if (b.index != 0) {  // a move onto itself is no move at all
            EXPECT_EQ(ArrayMove(&array, 0, b.index, b.n, sizeof(int)), kStatusInvalidParameter);
            EXPECT_EQ(ArrayMove(&array, b.index, 0, b.n, sizeof(int)), kStatusInvalidParameter);
        }
    }
    EXPECT_EQ(Elements(array), (std::vector<int>{0, 8, 9, 1, 2, 3, 4, 0}));

    ASSERT_EQ(ArrayErase(&array, 7, 1, sizeof(int)), kStatusSuccess);
    ASSERT_EQ(ArrayMove(&array, 4, 1, 2, sizeof(int)), kStatusSuccess);  // forwards
    EXPECT_EQ(Elements(array), (std::vector<int>{0, 1, 2, 3, 8, 9, 4}));
    ASSERT_EQ(ArrayMove(&array, 0, 5, 2, sizeof(int)), kStatusSuccess);  // backwards
    EXPECT_EQ(Elements(array), (std::vector<int>{9, 4, 0, 1, 2, 3, 8}));
    ASSERT_EQ(ArrayErase(&array, 0, 2, sizeof(int)), kStatusSuccess);
    EXPECT_EQ(Elements(array), (std::vector<int>{0, 1, 2, 3, 8}));
    EXPECT_EQ(ArrayAssign(&array, nullptr, 0, sizeof(int)), kStatusSuccess);
    EXPECT_EQ(ArrayCount(array), 0u);
    ArrayFree(&array);

    ASSERT_EQ(ArrayInsertByte(&array, 0, 'b'), kStatusSuccess);
    ASSERT_EQ(ArrayInsertByte(&array, 0, 'a'), kStatusSuccess);
    EXPECT_EQ(std::memcmp(array, "ab", 2), 0);
    ArrayFree(&array);
}

}  // namespace
