#pragma once
#include "containers/OrderedMap.h"

// Comparators of the ordered map; each returns -1, 0 or 1. The pointer forms
// sort none before anything else.
int CompareInt32(MapKey a, MapKey b);
int CompareUInt32(MapKey a, MapKey b);
int CompareCString(MapKey a, MapKey b);        // unsigned bytes
int CompareCStringNoCase(MapKey a, MapKey b);  // _stricmp
int CompareWString(MapKey a, MapKey b);        // wcscmp
int CompareWStringNoCase(MapKey a, MapKey b);  // _wcsicmp
int CompareId16(MapKey a, MapKey b);           // 16 unsigned bytes
int CompareBufferHandle(MapKey a, MapKey b);   // smaller size first, then unsigned bytes
