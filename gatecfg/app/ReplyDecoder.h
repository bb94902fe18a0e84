// Decoding of the controller's "#" replies to the poll into rows of the
// parameter list and values for the configuration controls.
#pragma once

#include <string>
#include <vector>

#include "ConfigControls.h"

namespace gatecfg {

// One row of the parameter list: caption and its one sub-item.
struct DeviceInfoRow {
    std::wstring Label;
    std::wstring Value;
    bool operator==(const DeviceInfoRow& other) const
    {
        return Label == other.Label && Value == other.Value;
    }
};

struct ReplyEffects {
    std::vector<DeviceInfoRow> Rows;  // appended to the list in this order
    ControlUpdates Controls;          // loaded by a configuration reply
};

// Decodes one received line, CR LF already stripped. The CRC is not checked;
// fields missing from a short line read as empty, so a short or malformed
// reply gives partial values and never fails. Lines that are not replies and
// replies to other commands have no effects.
ReplyEffects DecodeReply(const std::string& line);

// "05" -> "0.5": the two digits of a time as the time edits show it; a missing
// digit reads as a blank, the edits' empty digit.
std::wstring InsertDecimalPoint(const std::string& digits);

}  // namespace gatecfg
