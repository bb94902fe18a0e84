#include "containers/Comparators.h"
#include "runtime/BufferHandle.h"
#include <cstring>
#include <cwchar>
#include <string.h>

namespace {

int Sign(int v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

template <class T>
int Order(T a, T b) { return a > b ? 1 : a < b ? -1 : 0; }

// The none rules shared by every pointer comparator; 2 when both are present.
int NoneOrder(MapKey a, MapKey b)
{
    if (!a || !b)
        return !a && !b ? 0 : !a ? -1 : 1;
    return 2;
}

}  // namespace

int CompareInt32(MapKey a, MapKey b) { return Order(static_cast<int32_t>(a), static_cast<int32_t>(b)); }
int CompareUInt32(MapKey a, MapKey b) { return Order(static_cast<uint32_t>(a), static_cast<uint32_t>(b)); }

int CompareCString(MapKey a, MapKey b)
{
    int none = NoneOrder(a, b);
    return none != 2 ? none : Sign(std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b)));
}

int CompareCStringNoCase(MapKey a, MapKey b)
{
    int none = NoneOrder(a, b);
    return none != 2 ? none : Sign(_stricmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b)));
}

int CompareWString(MapKey a, MapKey b)
{
    int none = NoneOrder(a, b);
    return none != 2 ? none
                     : Sign(std::wcscmp(reinterpret_cast<const wchar_t*>(a), reinterpret_cast<const wchar_t*>(b)));
}

int CompareWStringNoCase(MapKey a, MapKey b)
{
    int none = NoneOrder(a, b);
    return none != 2 ? none
                     : Sign(_wcsicmp(reinterpret_cast<const wchar_t*>(a), reinterpret_cast<const wchar_t*>(b)));
}

int CompareId16(MapKey a, MapKey b)
{
    int none = NoneOrder(a, b);
    return none != 2 ? none : Sign(std::memcmp(reinterpret_cast<const void*>(a), reinterpret_cast<const void*>(b), 16));
}

int CompareBufferHandle(MapKey a, MapKey b)
{
    int none = NoneOrder(a, b);
    if (none != 2)
        return none;
    auto* x = reinterpret_cast<const BufferHandle*>(a);
    auto* y = reinterpret_cast<const BufferHandle*>(b);
    if (x->size != y->size)
        return Order(x->size, y->size);
    return x->size ? Sign(std::memcmp(x->data, y->data, x->size)) : 0;
}
