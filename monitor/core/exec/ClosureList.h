#pragma once
#include "exec/Closure.h"
#include "runtime/IntrusiveList.h"

// A list of closure copies (tracked blocks), as collected by the event hub.
[[nodiscard]] NtStatus ClosureListAppend(ListHead* list, const Closure* closure);  // 0 or kStatusNoMemory
void ClosureListInvokeAll(ListHead* list, BufferHandle* message);  // in list order, same message
void ClosureListRelease(ListHead* list);                           // release each copy, free the entries
