#pragma once
// File-name masks, ignoring case: "*" any run of characters, "?" any one
// character, "[abc]", "[a-z]" one of a set and "[!a-z]" one outside it.
// A set left open matches nothing.
#include <string>

namespace calyx {

bool MatchesMask(const std::string& text, const std::string& mask);
// Whether the mask holds a character with a meaning of its own.
bool HasMaskWildcards(const std::string& mask);

}  // namespace calyx
