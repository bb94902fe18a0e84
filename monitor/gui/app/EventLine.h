#pragma once
#include "MonitorSettings.h"

#include <oleauto.h>
#include <cstdint>
#include <string>

// How a log record becomes a line of the log view and the log file. Plain text
// work: no window and no file.

// The prefix with its placeholders replaced, in this order and each over the
// whole line as it stands then: every "%t" by the date and time, every "%p" by
// the port name, every "%m" by the type tag (so a "%m" inside a port name is
// replaced too, a "%t" is not). Inserted text is not scanned again for the
// placeholder that inserted it. Then the text and "\r\n".
std::string BuildEventLine(const std::string& prefix, const std::string& dateTime,
                           const std::string& portName, const std::string& typeTag,
                           const std::string& text);

// The line text of a record that no provider could format.
std::string UnknownMessageText(uint32_t code);

// The provider's text in the system's ANSI code page; empty for none.
std::string ProviderTextToAnsi(BSTR text);

// The entry whose format and Log flag a provider's severity takes: Warning for
// 1, Error for 2, Info for any other value.
const SeverityEntry& EntryForSeverity(const MonitorSettings& settings, long severity);

// The local date and time as "MM/DD/YY HH:MM:SS".
std::string LocalDateTimeText();
