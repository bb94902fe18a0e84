#include "ControlBar.h"

RUNTIME_CLASS_IMPLEMENT(CControlBar, CWnd)
