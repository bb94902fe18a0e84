#pragma once
// A frame's accelerator table, read for the shortcut texts that menu items show
// after a tab: "Ctrl+C", or for a command with several keys "F5, Ctrl+N" (the
// later table entry first).
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// The name of a virtual key as the keyboard layout gives it ("C", "F5").
std::string SystemKeyName(WORD virtualKey);

class AcceleratorKeys {
public:
    using KeyName = std::function<std::string(WORD virtualKey)>;
    explicit AcceleratorKeys(KeyName keyName = SystemKeyName) : keyName_(std::move(keyName)) {}

    // Replaces what was loaded; no entries empties it.
    void Load(const ACCEL* table, int count);
    // The table of the handle (none: empty).
    void Load(HACCEL table);
    void Clear();
    bool IsLoaded() const { return !entries_.empty(); }

    // Cuts the text at its first tab (unless that starts the text), then appends a tab
    // and every key of the command, latest first, separated by ", ". True when a key
    // was appended.
    bool AppendText(std::string& text, UINT command) const;

private:
    std::string KeyText(const ACCEL& entry) const;

    std::vector<ACCEL> entries_;
    std::vector<size_t> back_;     // per entry: how far back the command's previous entry is, 0 for none
    std::map<WORD, size_t> last_;  // command -> its last entry
    KeyName keyName_;
};
