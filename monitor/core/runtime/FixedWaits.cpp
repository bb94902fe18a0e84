#include "runtime/FixedWaits.h"

FixedWaits& CoreFixedWaits()
{
    static FixedWaits waits;
    return waits;
}
