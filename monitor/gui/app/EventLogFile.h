#pragma once
#include <string>

// Appends the line's bytes as they stand to the end of the file, creating it
// when missing and never truncating it; others may read it meanwhile but not
// write. False, with nothing written, when the file cannot be opened or
// written; callers go on without it.
bool AppendEventLine(const std::string& path, const std::string& line);
