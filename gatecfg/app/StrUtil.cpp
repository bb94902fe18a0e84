#include "StrUtil.h"

#include <algorithm>
#include <vector>

namespace gatecfg {

namespace {

// Compares the ends first: most mismatches show at the first or last character.
bool MatchesAt(const std::string& sub, const std::string& text, std::size_t at)
{
    const std::size_t n = sub.size();
    if (text[at] != sub[0] || text[at + n - 1] != sub[n - 1])
        return false;
    for (std::size_t i = n >= 2 ? n - 2 : 0; i >= 2; --i)
        if (text[at + i] != sub[i])
            return false;
    return n <= 2 || text[at + 1] == sub[1];
}

}  // namespace

std::size_t PosFrom(const std::string& sub, const std::string& text, std::size_t start,
                    std::size_t limit)
{
    const std::size_t searched = std::min(limit, text.size());
    if (sub.empty() || text.empty() || sub.size() > searched)
        return 0;
    // Bounded by the last position a match can begin at, so that no start,
    // however large, makes the index wrap round to before the text.
    const std::size_t last = searched - sub.size();
    for (std::size_t at = start == 0 ? 0 : start - 1; at <= last; ++at)
        if (MatchesAt(sub, text, at))
            return at + 1;
    return 0;
}

std::string ReplaceAll(const std::string& text, const std::string& oldText,
                       const std::string& newText)
{
    if (oldText.empty())
        return text;
    std::vector<std::size_t> matches;
    for (std::size_t p = PosFrom(oldText, text, 1); p != 0;
         p = PosFrom(oldText, text, p + oldText.size()))
        matches.push_back(p - 1);
    if (matches.empty())
        return text;

    std::string result;
    result.reserve(text.size() - matches.size() * oldText.size() + matches.size() * newText.size());
    std::size_t done = 0;
    for (std::size_t at : matches) {
        result.append(text, done, at - done);
        result += newText;
        done = at + oldText.size();
    }
    result.append(text, done, std::string::npos);
    return result;
}

}  // namespace gatecfg
