// Linked into every program and DLL of a build with live assertions. The C
// runtime then reports a failed assertion on standard error ("Assertion failed:
// <expression>, file <file>, line <line>") and ends the process with exit code
// 3; left to its default, a GUI program would show a message box instead and
// wait for a click that no test gives.
#include <stdlib.h>

namespace {

// The mode belongs to the runtime that all modules of the process share, so a
// DLL sets it for its host too; it is set before main or DllMain runs.
const int kPreviousErrorMode = _set_error_mode(_OUT_TO_STDERR);

}  // namespace
