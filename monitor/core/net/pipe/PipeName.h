#pragma once
#include "containers/Str.h"

struct PipeRecordView;

// The pipe name of a validated record, converted to the narrow code page
// (empty for a record without a name); false when memory is short. The
// factory takes a listener's name from its record, the connect command the
// name to open.
bool PipeNameFromRecord(const PipeRecordView& view, Str* name);
