#include "EventLine.h"

#include <cstdio>
#include <ctime>

#include "containers/AnsiText.h"

namespace {

void ReplaceAll(std::string& line, const char* placeholder, const std::string& value)
{
    const std::string key = placeholder;
    for (size_t at = line.find(key); at != std::string::npos; at = line.find(key, at + value.size()))
        line.replace(at, key.size(), value);
}

}  // namespace

std::string BuildEventLine(const std::string& prefix, const std::string& dateTime,
                           const std::string& portName, const std::string& typeTag,
                           const std::string& text)
{
    std::string line = prefix;
    ReplaceAll(line, "%t", dateTime);
    ReplaceAll(line, "%p", portName);
    ReplaceAll(line, "%m", typeTag);
    return line + text + "\r\n";
}

std::string UnknownMessageText(uint32_t code)
{
    char text[48];
    std::snprintf(text, sizeof text, "unknown msg (%d/0x%08x)", static_cast<int>(code),
                  static_cast<unsigned>(code));
    return text;
}

std::string ProviderTextToAnsi(BSTR text) { return WideToAnsi(text, SysStringLen(text)); }

const SeverityEntry& EntryForSeverity(const MonitorSettings& settings, long severity)
{
    switch (severity) {
    case 1:
        return settings.Warning;
    case 2:
        return settings.Error;
    default:
        return settings.Info;
    }
}

std::string LocalDateTimeText()
{
    char date[16], time[16];
    _strdate(date);
    _strtime(time);
    return std::string(date) + " " + time;
}
