#include "forms/Lines.h"

#include <stdexcept>

namespace forms {

void TLines::Add(const std::wstring& line)
{
    FLines.push_back(line);
    ++FEdit.AddedAtEnd;
    Changed();
}

void TLines::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("Line index out of bounds");
    // The lines before the added ones are those the owner already shows.
    const int shown = Count() - FEdit.AddedAtEnd;
    if (index >= shown)
        --FEdit.AddedAtEnd;
    else if (index == 0)
        ++FEdit.DroppedFront;
    else
        FEdit.Reset = true;
    FLines.erase(FLines.begin() + index);
    Changed();
}

void TLines::Clear()
{
    FLines.clear();
    FEdit.Reset = true;
    Changed();
}

std::wstring TLines::Text() const
{
    std::wstring text;
    for (size_t i = 0; i < FLines.size(); ++i) {
        if (i)
            text += L"\r\n";
        text += FLines[i];
    }
    return text;
}

void TLines::Load(const std::wstring& text)
{
    FLines.clear();
    FEdit = {};
    std::wstring line;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t ch = text[i];
        if (ch == L'\r' || ch == L'\n') {
            FLines.push_back(line);
            line.clear();
            if (ch == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
        } else {
            line += ch;
        }
    }
    if (!line.empty())
        FLines.push_back(line);
}

void TLines::SetText(const std::wstring& text)
{
    Load(text);
    FEdit.Reset = true;
    Changed();
}

void TLines::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangedInUpdate) {
        FChangedInUpdate = false;
        if (OnChange)
            OnChange();
    }
}

void TLines::Changed()
{
    if (FUpdateCount > 0)
        FChangedInUpdate = true;
    else if (OnChange)
        OnChange();
}

}  // namespace forms
