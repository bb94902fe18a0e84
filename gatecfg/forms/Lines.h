#pragma once
// The line model of a memo: a list of lines that tells its owner when it
// changed, once per update bracket.
#include <functional>
#include <string>
#include <vector>

namespace forms {

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

    // Takes the text without reporting a change (the window already shows it).
    void Load(const std::wstring& text);

private:
    void Changed();

    std::vector<std::wstring> FLines;
    int FUpdateCount = 0;
    bool FChangedInUpdate = false;
};

}  // namespace forms
