#include "FixedWaits.h"

FixedWaits& CoreFixedWaits()
{
    static FixedWaits waits;
    return waits;
}
