#pragma once
// Where a dockable bar goes: the side of the frame a drag ends at, and the strip a
// docked bar takes off the frame's free client area. Plain geometry, no windows.
#include "ControlBar.h"
#include "Geometry.h"

enum class DockSide { Top, Bottom, Left, Right, Floating };

// The CBRS_ALIGN_* flag of a docked side, 0 for Floating.
DWORD DockSideAlignment(DockSide side);
bool IsVerticalSide(DockSide side);

// The side for a drag that ends at cursor (screen coordinates): the allowed edge of
// area (the frame's client area on the screen) nearest the cursor, when the cursor
// is within snap pixels of it, along its length; Floating otherwise.
DockSide DockSideForDrop(POINT cursor, const RECT& area, DWORD allowedAlignments, int snap);

// Takes a strip of thickness pixels off free along side and returns the strip; a
// strip never reaches past free, which may end up empty.
CRect TakeDockStrip(RECT& free, DockSide side, int thickness);
