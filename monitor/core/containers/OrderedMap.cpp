#include "containers/OrderedMap.h"
#include "runtime/BlockOwner.h"

namespace {

// Shared by every map and placed in read-only memory: a stray write faults.
extern const MapNode kNil;
const MapNode kNil = {{nullptr, nullptr}, nullptr, const_cast<MapNode*>(&kNil),
                      const_cast<MapNode*>(&kNil), 0, 0, kMapBlack};

MapNode* Nil(const OrderedMap* map) { return map->policy->nil; }

void SetParent(OrderedMap* map, MapNode* child, MapNode* parent)
{
    if (child != Nil(map))
        child->parent = parent;
}

void SetColor(OrderedMap* map, MapNode* node, uint32_t color)
{
    if (node != Nil(map))
        node->color = color;
}

// Puts `replacement` where `node` hangs under `parent` (or at the root).
void ReplaceChild(OrderedMap* map, MapNode* parent, MapNode* node, MapNode* replacement)
{
    if (!parent)
        map->root = replacement;
    else if (parent->left == node)
        parent->left = replacement;
    else
        parent->right = replacement;
}

void RotateLeft(OrderedMap* map, MapNode* x)
{
    MapNode* y = x->right;
    x->right = y->left;
    SetParent(map, y->left, x);
    y->parent = x->parent;
    ReplaceChild(map, x->parent, x, y);
    y->left = x;
    x->parent = y;
}

void RotateRight(OrderedMap* map, MapNode* x)
{
    MapNode* y = x->left;
    x->left = y->right;
    SetParent(map, y->right, x);
    y->parent = x->parent;
    ReplaceChild(map, x->parent, x, y);
    y->right = x;
    x->parent = y;
}

bool IsRed(const MapNode* n) { return n->color == kMapRed; }

void RedBlackInsert(OrderedMap* map, MapNode* z)
{
    z->color = kMapRed;
    while (z != map->root && IsRed(z->parent)) {
        MapNode* parent = z->parent;
        MapNode* grand = parent->parent;
        bool parentIsLeft = grand->left == parent;
        MapNode* uncle = parentIsLeft ? grand->right : grand->left;
        if (IsRed(uncle)) {
            parent->color = kMapBlack;
            uncle->color = kMapBlack;
            grand->color = kMapRed;
            z = grand;
            continue;
        }
        if (z == (parentIsLeft ? parent->right : parent->left)) {
            z = parent;
            parentIsLeft ? RotateLeft(map, z) : RotateRight(map, z);
            parent = z->parent;
        }
        parent->color = kMapBlack;
        grand->color = kMapRed;
        parentIsLeft ? RotateRight(map, grand) : RotateLeft(map, grand);
    }
    map->root->color = kMapBlack;
}

// Unhooks a node with at most one child; returns the child that took its place
// (perhaps nil) and, through `parent`, where it now hangs.
MapNode* SpliceOut(OrderedMap* map, MapNode* node, MapNode** parent)
{
    MapNode* child = node->left != Nil(map) ? node->left : node->right;
    *parent = node->parent;
    SetParent(map, child, node->parent);
    ReplaceChild(map, node->parent, node, child);
    return child;
}

void RedBlackErase(OrderedMap* map, MapNode* z)
{
    MapNode* parent;
    MapNode* x = SpliceOut(map, z, &parent);
    if (IsRed(z))
        return;
    // x carries an extra black; its parent is kept here because x may be nil.
    while (x != map->root && !IsRed(x)) {
        bool xIsLeft = parent->left == x;
        MapNode* w = xIsLeft ? parent->right : parent->left;
        if (IsRed(w)) {
            w->color = kMapBlack;
            parent->color = kMapRed;
            xIsLeft ? RotateLeft(map, parent) : RotateRight(map, parent);
            w = xIsLeft ? parent->right : parent->left;
        }
        MapNode* nearChild = xIsLeft ? w->left : w->right;
        MapNode* farChild = xIsLeft ? w->right : w->left;
        if (!IsRed(nearChild) && !IsRed(farChild)) {
            w->color = kMapRed;
            x = parent;
            parent = x->parent;
            continue;
        }
        if (!IsRed(farChild)) {
            SetColor(map, nearChild, kMapBlack);
            w->color = kMapRed;
            xIsLeft ? RotateRight(map, w) : RotateLeft(map, w);
            w = xIsLeft ? parent->right : parent->left;
            farChild = xIsLeft ? w->right : w->left;
        }
        w->color = parent->color;
        parent->color = kMapBlack;
        SetColor(map, farChild, kMapBlack);
        xIsLeft ? RotateLeft(map, parent) : RotateRight(map, parent);
        x = map->root;
        break;
    }
    SetColor(map, x, kMapBlack);
}

// Exchanges a node with two children and its in-order successor in the tree,
// so that the node to erase has at most one child and nobody else moves.
void SwapWithSuccessor(OrderedMap* map, MapNode* z)
{
    MapNode* y = z->right;
    while (y->left != Nil(map))
        y = y->left;
    MapNode* zParent = z->parent;
    MapNode* zLeft = z->left;
    MapNode* zRight = z->right;
    MapNode* yParent = y->parent;
    MapNode* yRight = y->right;

    ReplaceChild(map, zParent, z, y);
    y->parent = zParent;
    y->left = zLeft;
    zLeft->parent = y;
    if (yParent == z) {
        y->right = z;
        z->parent = y;
    } else {
        y->right = zRight;
        zRight->parent = y;
        yParent->left = z;
        z->parent = yParent;
    }
    z->left = Nil(map);
    z->right = yRight;
    SetParent(map, yRight, z);
    uint32_t color = y->color;
    y->color = z->color;
    z->color = color;
}

}  // namespace

const MapPolicy kRedBlackPolicy = {RedBlackInsert, RedBlackErase, const_cast<MapNode*>(&kNil)};

void OrderedMapInit(OrderedMap* map, MapComparator compare, const MapPolicy* policy)
{
    map->policy = policy ? policy : &kRedBlackPolicy;
    map->compare = compare;
    map->root = Nil(map);
    ListInit(&map->nodes);
}

void OrderedMapClear(OrderedMap* map)
{
    while (!ListIsEmpty(&map->nodes)) {
        BlockOwner<ListNode> node(ListPopFront(&map->nodes));
    }
    map->root = Nil(map);
}

void OrderedMapReset(OrderedMap* map) { OrderedMapClear(map); }

MapNode* OrderedMapFind(const OrderedMap* map, MapKey key)
{
    MapNode* node = map->root;
    while (node != Nil(map)) {
        int order = map->compare(key, node->key);
        if (order == 0)
            return node;
        node = order < 0 ? node->left : node->right;
    }
    return nullptr;
}

MapNode* OrderedMapFindOrInsert(OrderedMap* map, MapKey key)
{
    MapNode* last = nullptr;
    int order = 0;
    for (MapNode* node = map->root; node != Nil(map); node = order < 0 ? node->left : node->right) {
        order = map->compare(key, node->key);
        if (order == 0)
            return node;
        last = node;
    }
    auto* z = static_cast<MapNode*>(BlockAlloc(sizeof(MapNode)));
    if (!z)
        return nullptr;
    *z = {{nullptr, nullptr}, last, Nil(map), Nil(map), key, 0, kMapBlack};
    if (!last) {
        map->root = z;
        ListPushBack(&map->nodes, &z->links);
    } else if (order < 0) {
        last->left = z;
        ListPushBack(ListHeadAt(&last->links), &z->links);  // just before its parent
    } else {
        last->right = z;
        ListPushFront(ListHeadAt(&last->links), &z->links);  // just after its parent
    }
    ++map->nodes.count;
    if (map->policy->insertRebalance)
        map->policy->insertRebalance(map, z);
    return z;
}

void OrderedMapErase(OrderedMap* map, MapNode* node)
{
    BlockOwner<MapNode> owned(node);
    if (node->left != Nil(map) && node->right != Nil(map))
        SwapWithSuccessor(map, node);
    if (map->policy->eraseRebalance) {
        map->policy->eraseRebalance(map, node);
    } else {
        MapNode* parent;
        SpliceOut(map, node, &parent);
    }
    ListRemove(&map->nodes, &node->links);
}

int OrderedMapRemoveKey(OrderedMap* map, MapKey key)
{
    MapNode* node = OrderedMapFind(map, key);
    if (!node)
        return 0;
    OrderedMapErase(map, node);
    return 1;
}
