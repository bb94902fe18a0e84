// Substring search from any position and replace-all over 8-bit text.
#pragma once

#include <climits>
#include <cstddef>
#include <string>

namespace gatecfg {

// First 1-based position p >= start where `sub` occurs within the first
// `limit` characters of `text`; 0 when there is none or either is empty.
std::size_t PosFrom(const std::string& sub, const std::string& text, std::size_t start,
                    std::size_t limit = static_cast<std::size_t>(INT_MAX));

// Every non-overlapping occurrence of `oldText`, left to right, replaced by
// `newText`; the text unchanged when `oldText` is empty or absent.
std::string ReplaceAll(const std::string& text, const std::string& oldText,
                       const std::string& newText);

}  // namespace gatecfg
