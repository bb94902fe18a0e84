#include "Bytes.h"

#include <cctype>

namespace logpeer {

std::string HexText(const uint8_t* data, size_t size)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 3);
    for (size_t i = 0; i < size; ++i) {
        if (i)
            text += ' ';
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 15];
    }
    return text;
}

bool ParseHex(const std::string& text, Bytes& out)
{
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-' || c == '\t')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10);
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    return high < 0;
}

}  // namespace logpeer
