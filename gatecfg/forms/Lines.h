#pragma once
// The line model of a memo: a list of lines that tells its owner when it
// changed, once per update bracket, and what changed, so that a window can
// follow without taking the whole text again.
#include <functional>
#include <string>
#include <vector>

namespace forms {

// The lines' changes since their owner last followed them: lines dropped
// from the front and lines added at the end, as a log changes; any other
// change is followed by taking the whole text again.
struct TLinesEdit {
    bool Reset = false;
    int DroppedFront = 0;
    int AddedAtEnd = 0;  // the last lines now held

    bool Empty() const noexcept { return !Reset && DroppedFront == 0 && AddedAtEnd == 0; }
};

class TLines {
public:
    int Count() const noexcept { return static_cast<int>(FLines.size()); }
    const std::wstring& operator[](int index) const { return FLines.at(static_cast<size_t>(index)); }

    void Add(const std::wstring& line);
    void Delete(int index);
    void Clear();

    // The lines joined by CR LF; setting it splits at CR LF, CR or LF, a
    // final line end giving no empty line after it.
    std::wstring Text() const;
    void SetText(const std::wstring& text);

    // Changes inside a bracket are reported once, at its end.
    void BeginUpdate() noexcept { ++FUpdateCount; }
    void EndUpdate();

    std::function<void()> OnChange;
    // The changes since the owner last said it followed them; they add up
    // over any number of reports until it does.
    const TLinesEdit& PendingEdit() const noexcept { return FEdit; }
    void Followed() noexcept { FEdit = {}; }

    // Takes the text without reporting a change (the window already shows it).
    void Load(const std::wstring& text);

private:
    void Changed();

    std::vector<std::wstring> FLines;
    int FUpdateCount = 0;
    bool FChangedInUpdate = false;
    TLinesEdit FEdit;
};

}  // namespace forms
