#include "net/CalyxFileMask.h"

#include <windows.h>

namespace calyx {

namespace {

char Fold(char c)
{
    CharLowerBuffA(&c, 1);
    return c;
}

// Matches c against the set that starts after '[' at mask[i]; sets i past
// the closing ']'. False for a set without one.
bool MatchSet(const std::string& mask, size_t& i, char c, bool& closed)
{
    const bool negate = i < mask.size() && mask[i] == '!';
    if (negate)
        ++i;
    bool found = false;
    closed = false;
    const char folded = Fold(c);
    while (i < mask.size()) {
        if (mask[i] == ']') {
            ++i;
            closed = true;
            break;
        }
        char low = Fold(mask[i]);
        char high = low;
        if (i + 2 < mask.size() && mask[i + 1] == '-' && mask[i + 2] != ']') {
            high = Fold(mask[i + 2]);
            i += 3;
        } else {
            ++i;
        }
        if (BYTE(folded) >= BYTE(low) && BYTE(folded) <= BYTE(high))
            found = true;
    }
    return closed && found != negate;
}

}  // namespace

bool MatchesMask(const std::string& text, const std::string& mask)
{
    size_t t = 0, m = 0;
    // Where the last '*' was and which text position it has covered up to.
    size_t starMask = std::string::npos, starText = 0;
    while (t < text.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = ++m;
            starText = t;
            continue;
        }
        if (m < mask.size()) {
            bool matched;
            size_t next = m + 1;
            if (mask[m] == '?') {
                matched = true;
            } else if (mask[m] == '[') {
                bool closed;
                matched = MatchSet(mask, next, text[t], closed);
                if (!closed)
                    return false;
            } else {
                matched = Fold(mask[m]) == Fold(text[t]);
            }
            if (matched) {
                m = next;
                ++t;
                continue;
            }
        }
        if (starMask == std::string::npos)
            return false;
        m = starMask;
        t = ++starText;
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool HasMaskWildcards(const std::string& mask)
{
    return mask.find_first_of("*?[") != std::string::npos;
}

}  // namespace calyx
