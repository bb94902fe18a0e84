#include "ControllerFrame.h"

namespace gatecfg {

void Crc8Update(char ch, std::uint8_t& crc)
{
    crc ^= static_cast<unsigned char>(ch);
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 0x80) ? static_cast<std::uint8_t>((crc << 1) ^ 0x31)
                           : static_cast<std::uint8_t>(crc << 1);
}

std::string Crc8Text(const std::string& text)
{
    std::uint8_t crc = 0xFF;
    for (char ch : text)
        Crc8Update(ch, crc);
    static const char digits[] = "0123456789ABCDEF";
    return {digits[crc >> 4], digits[crc & 0x0F]};
}

std::string AppendCrc(const std::string& frame)
{
    return frame + Crc8Text(frame);
}

std::string FieldAt(const std::string& text, std::size_t position, std::size_t length)
{
    if (position == 0 || position > text.size())
        return {};
    return text.substr(position - 1, length);
}

std::string ReplyBody(const std::string& line)
{
    if (line.size() < 3)
        return {};
    return line.substr(1, line.size() - 3);
}

bool IsKeepAlive(const std::string& line)
{
    return !line.empty() && line[0] == '$' && line.find("PING") != std::string::npos;
}

std::string EchoFrame(const std::string& pingLine)
{
    return AppendCrc("$" + FieldAt(pingLine, 2, 4) + "ECHO");
}

DeviceIdentity DeviceIdentityFromLine(const std::string& line)
{
    return {FieldAt(line, 2, 3), FieldAt(line, 5)};
}

}  // namespace gatecfg
