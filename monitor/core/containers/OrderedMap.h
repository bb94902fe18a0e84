#pragma once
#include "runtime/IntrusiveList.h"
#include <cstdint>

// Red-black tree from a 32-bit key (a number or a pointer, as the comparator
// reads it) to a 32-bit value. Its nodes are also kept on a list in key order.
typedef uintptr_t MapKey;
typedef int (*MapComparator)(MapKey a, MapKey b);  // -1, 0 or 1

struct MapNode {
    ListNode links;  // in the map's node list, key order
    MapNode* parent;
    MapNode* left;
    MapNode* right;
    MapKey key;
    uintptr_t value;  // 0 when inserted, stored by the caller
    uint32_t color;   // 1 red, 0 black
};

struct OrderedMap;
typedef void (*MapRebalance)(OrderedMap* map, MapNode* node);

// The erase routine also splices the node out of the tree. No operation ever
// writes to the nil node.
struct MapPolicy {
    MapRebalance insertRebalance;  // or none
    MapRebalance eraseRebalance;   // or none
    MapNode* nil;
};

struct OrderedMap {
    const MapPolicy* policy;
    MapComparator compare;
    MapNode* root;
    ListHead nodes;  // every node in key order, with the count
};

static_assert(sizeof(void*) == 4, "map nodes are laid out in 32-bit words");
static_assert(sizeof(MapNode) == 32 && sizeof(OrderedMap) == 24, "map layouts");

constexpr uint32_t kMapRed = 1;
constexpr uint32_t kMapBlack = 0;
extern const MapPolicy kRedBlackPolicy;  // red-black rules and the shared nil node

void OrderedMapInit(OrderedMap* map, MapComparator compare, const MapPolicy* policy = nullptr);
void OrderedMapClear(OrderedMap* map);  // frees every node; the map is empty afterwards
void OrderedMapReset(OrderedMap* map);
MapNode* OrderedMapFind(const OrderedMap* map, MapKey key);
// The existing node or a new one (value 0); none when no node can be had.
MapNode* OrderedMapFindOrInsert(OrderedMap* map, MapKey key);
void OrderedMapErase(OrderedMap* map, MapNode* node);  // other nodes keep their addresses
int OrderedMapRemoveKey(OrderedMap* map, MapKey key);  // 1 when found
inline uint32_t OrderedMapCount(const OrderedMap* map) { return map->nodes.count; }
inline MapNode* MapNodeOf(ListNode* links) { return reinterpret_cast<MapNode*>(links); }
