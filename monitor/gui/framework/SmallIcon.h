#pragma once
#include <windows.h>

// The program's icon resource `id` at the system's small-icon size; null when missing.
// LoadImage's icons at a size of their own are not shared: the caller destroys
// it, holding it in a win32::UniqueIcon.
HICON LoadSmallIcon(UINT id);
