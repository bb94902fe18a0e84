#pragma once
// The collection names that window code of this program uses. They are the
// standard containers; a block size that older code passed has no meaning here.
#include <windows.h>

#include <list>
#include <map>
#include <unordered_map>
#include <vector>

template <class T>
using CList = std::list<T>;
using CPtrList = std::list<void*>;
using CMapPtrToPtr = std::unordered_map<void*, void*>;
using CMapWordToPtr = std::map<WORD, void*>;
using CUIntArray = std::vector<UINT>;
