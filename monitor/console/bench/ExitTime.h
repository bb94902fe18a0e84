#pragma once
#include <string>

// Starts `program` (quelcon.exe) in consoles of its own against the
// log-service stand-in on the real pipe, `runs` times for each way it is
// ended (ESC, Ctrl-C; idle, records flowing), and prints how long each took
// from the key to the end of its process.
void PrintExitTimes(const std::string& program, int runs);
