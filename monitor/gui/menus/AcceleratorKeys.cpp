#include "AcceleratorKeys.h"

std::string SystemKeyName(WORD virtualKey)
{
    char name[64] = {};
    LONG scanCode = LONG(MapVirtualKeyA(virtualKey, 0)) << 16;
    int length = GetKeyNameTextA(scanCode, name, sizeof name);
    return std::string(name, length > 0 ? size_t(length) : 0);
}

void AcceleratorKeys::Clear()
{
    entries_.clear();
    back_.clear();
    last_.clear();
}

void AcceleratorKeys::Load(const ACCEL* table, int count)
{
    Clear();
    if (!table || count <= 0)
        return;
    entries_.assign(table, table + count);
    back_.assign(entries_.size(), 0);
    for (size_t i = 0; i < entries_.size(); ++i) {
        auto [it, first] = last_.emplace(entries_[i].cmd, i);
        if (!first) {
            back_[i] = i - it->second;
            it->second = i;
        }
    }
}

void AcceleratorKeys::Load(HACCEL table)
{
    int count = table ? CopyAcceleratorTableA(table, nullptr, 0) : 0;
    std::vector<ACCEL> copy(size_t(count > 0 ? count : 0));
    if (!copy.empty())
        count = CopyAcceleratorTableA(table, copy.data(), count);
    Load(copy.data(), count);
}

std::string AcceleratorKeys::KeyText(const ACCEL& entry) const
{
    std::string text;
    if (entry.fVirt & FALT)
        text += "Alt+";
    if (entry.fVirt & FCONTROL)
        text += "Ctrl+";
    if (entry.fVirt & FSHIFT)
        text += "Shift+";
    if (entry.fVirt & FVIRTKEY)
        text += keyName_(entry.key);
    else
        text += char(entry.key & 0xFF);
    return text;
}

bool AcceleratorKeys::AppendText(std::string& text, UINT command) const
{
    size_t tab = text.find('\t');
    if (tab != std::string::npos && tab > 0)
        text.erase(tab);
    auto it = last_.find(WORD(command));
    if (it == last_.end())
        return false;
    for (size_t i = it->second;; i -= back_[i]) {
        text += i == it->second ? "\t" : ", ";
        text += KeyText(entries_[i]);
        if (back_[i] == 0)
            break;
    }
    return true;
}
