#pragma once
// Dragging a dockable bar: a modal mouse loop that shows where the bar would go
// and, on release, docks it at the side of its frame under the mouse or floats it
// there. Escape, the right button or a lost capture cancel the drag.
#include <windows.h>

class CControlBar;
class CFrameWnd;

void TrackDockDrag(CControlBar& bar, CFrameWnd& frame, POINT start);
