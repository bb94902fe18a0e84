// Scripted fault scenarios: one step per line ('#' starts a comment), or steps separated by ';'.
//
//   wait [TIMEOUT_MS]              next connection and its opening request
//   wait-closed [TIMEOUT_MS]       every connection has ended
//   record CODE DEVICE [ITEM...]   a record, to the connections that admit it
//   raw HEX...                     bytes as they stand, to every connection
//   split PIECES DELAY_MS CODE DEVICE [ITEM...]   one record's frame cut into pieces
//   badsum CODE DEVICE [ITEM...]   a frame whose header checksum is off by one bit
//   big CODE DEVICE                a record of 65535 bytes
//   short                          a record of 6 bytes, too short for code, word and name
//   noterm CODE DEVICE             a record whose device name has no terminator
//   close | abort                  end every connection after / without what is queued
//   down | up                      stop (closing every connection) / start listening
//   busy on|off                    the pipe without / with a free instance
//   reading on|off                 stop / resume reading what the monitors send
//   sleep MS
//   burst COUNT SIZE [CODE DEVICE] COUNT records of SIZE data bytes, as fast as the monitors take them
//   demo ROUNDS [INTERVAL_MS]
//   hold                           run until interrupted
// Items build the payload: u8:N u16:N u32:N (decimal or 0x...), hex:BYTES, str:TEXT (no NUL),
// strz:TEXT, tcp:A.B.C.D:PORT, udp:A.B.C.D:PORT, pipe:NAME (an ANSI pipe record).
#pragma once

#include <stdexcept>

#include "LogPeer.h"

namespace logpeer {

struct ScriptStep {
    int line = 0;
    std::vector<std::string> words;
};

// Throws std::invalid_argument naming the line for an unknown step or a bad argument.
std::vector<ScriptStep> ParseScript(const std::string& text, char separator);
Bytes ParsePayloadItems(const std::vector<std::string>& items, size_t first, int line);

// Runs the steps; returns false (after a message on stderr) when a wait timed out.
bool RunScript(LogPeer& peer, const std::vector<ScriptStep>& steps, HANDLE stop);

}  // namespace logpeer
