#include "LogBatch.h"

#include <cstring>

CHARFORMATA MergeCharFormat(const CHARFORMATA& end, const CHARFORMATA* own)
{
    CHARFORMATA merged = end;
    if (!own)
        return merged;
    const DWORD mask = own->dwMask;
    // CFM_COLOR stands for the auto-colour effect as well as the colour.
    merged.dwEffects = (end.dwEffects & ~(mask & CFM_EFFECTS)) | (own->dwEffects & mask & CFM_EFFECTS);
    if (mask & CFM_COLOR)
        merged.crTextColor = own->crTextColor;
    if (mask & CFM_SIZE)
        merged.yHeight = own->yHeight;
    if (mask & CFM_OFFSET)
        merged.yOffset = own->yOffset;
    if (mask & CFM_CHARSET)
        merged.bCharSet = own->bCharSet;
    if (mask & CFM_FACE) {
        merged.bPitchAndFamily = own->bPitchAndFamily;
        std::memcpy(merged.szFaceName, own->szFaceName, sizeof merged.szFaceName);
        merged.szFaceName[LF_FACESIZE - 1] = '\0';
    }
    return merged;
}

bool SameCharFormat(const CHARFORMATA& a, const CHARFORMATA& b)
{
    return a.dwMask == b.dwMask && a.dwEffects == b.dwEffects && a.yHeight == b.yHeight &&
           a.yOffset == b.yOffset && a.crTextColor == b.crTextColor && a.bCharSet == b.bCharSet &&
           a.bPitchAndFamily == b.bPitchAndFamily &&
           std::strncmp(a.szFaceName, b.szFaceName, LF_FACESIZE) == 0;
}

bool LogBatch::Takes(size_t length, long limit) const
{
    return m_lines.empty() || (limit > 0 && m_text.size() + length < size_t(limit));
}

void LogBatch::Add(const CHARFORMATA* format, const std::string& line)
{
    m_lines.push_back({m_text.size(), format != nullptr, format ? *format : CHARFORMATA{}});
    m_text += line;
}

void LogBatch::Clear()
{
    m_text.clear();
    m_lines.clear();
}

const CHARFORMATA* LogBatch::FormatOf(size_t line) const
{
    return m_lines[line].formatted ? &m_lines[line].format : nullptr;
}

std::vector<LogFormatRun> LogBatch::Runs(const CHARFORMATA& end) const
{
    std::vector<LogFormatRun> runs;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const size_t stop = i + 1 < m_lines.size() ? m_lines[i + 1].start : m_text.size();
        const CHARFORMATA shown = MergeCharFormat(end, FormatOf(i));
        if (SameCharFormat(shown, end))
            continue;  // typed text takes the format at the end
        if (!runs.empty() && runs.back().end == m_lines[i].start && SameCharFormat(runs.back().format, shown))
            runs.back().end = stop;
        else
            runs.push_back({m_lines[i].start, stop, shown});
    }
    return runs;
}

DWORD LogBatchWait(DWORD now, DWORD shownAt, DWORD intervalMs)
{
    const DWORD since = now - shownAt;
    return since >= intervalMs ? 0 : intervalMs - since;
}
