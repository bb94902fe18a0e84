#include "LogBatch.h"

#include <cstring>

bool LogBatch::Takes(size_t length, long limit) const
{
    return m_lines == 0 || (limit > 0 && m_text.size() + length < size_t(limit));
}

void LogBatch::Add(const CHARFORMATA* format, const std::string& line)
{
    // Laying the same format again changes nothing.
    if (format && (m_steps.empty() || std::memcmp(&m_steps.back().format, format, sizeof *format) != 0))
        m_steps.push_back({m_text.size(), *format});
    m_text += line;
    ++m_lines;
}

void LogBatch::Clear()
{
    m_lines = 0;
    m_text.clear();
    m_steps.clear();
}

DWORD LogBatchWait(DWORD now, DWORD shownAt, DWORD intervalMs)
{
    const DWORD since = now - shownAt;
    return since >= intervalMs ? 0 : intervalMs - since;
}
