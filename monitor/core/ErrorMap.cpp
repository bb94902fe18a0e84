#include "ErrorMap.h"

// The start-up and shut-down steps are in place; the table itself arrives with
// the status-code conversion, which fills these two in.
void ErrorMapInit() {}
void ErrorMapDestroy() {}
