#pragma once
#include <windows.h>

// The resource id of the large icon of the main window and the RX/TX windows:
// IDI_MAIN, or IDI_MAIN_NT5 once the first instance has found Windows 2000 or later.
UINT MainIconId();

// The first instance's start: from now on IDI_MAIN_NT5 where Windows is 2000 or later.
void ChooseMainIcon();
