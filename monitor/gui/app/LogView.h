#pragma once
#include "RichEditCtrl.h"

#include <string>

// Appends one line at the end of the log view in the given character format
// (none: the format at the end), then scrolls to the end. When the view's text
// limit would be passed, as many of the oldest characters as the line needs
// are dropped first, without undo.
void LogViewAppend(CRichEditCtrl& view, const CHARFORMATA* format, const std::string& line);
