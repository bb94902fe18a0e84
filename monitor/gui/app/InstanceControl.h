#pragma once
#include "SharedMemory.h"

#include <windows.h>

// How instances of quel find each other: the first keeps its main window's
// handle in a named region; a later one raises, hides or stops that window.

constexpr char kInstanceRegionName[] = "QUEL 0952ACEC-A7D5-4e73-9DB1-D64E77374982";
// The main window's class, by which a stopping instance finds running ones.
constexpr char kMainFrameClassName[] = "PelkoMonitorMainFrame";

// Whether the window is a main window of quel (of any instance).
bool IsMainFrameWindow(HWND window);

// The main window that the region holds, or none: a region without a
// 4-byte payload, a handle not yet stored (0) or a handle that is no main
// window of quel.
HWND StoredMainWindow(const CSharedMemory& region);
// The creating instance's part: its main window's handle into the payload.
void StoreMainWindow(CSharedMemory& region, HWND window);

// Posts the stop command to the window, then waits up to three times 500 ms
// for it to go. Whether it is gone.
bool PostStopAndWait(HWND window);

// The "/stop" start: stops the instance that the region names or, when there
// is none (no region, no handle stored), every main window of quel on the
// desktop. Windows that survive the waits are left running.
void StopRunningInstances();
