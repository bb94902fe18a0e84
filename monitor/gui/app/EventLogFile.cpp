#include "EventLogFile.h"

#include "File.h"

bool AppendEventLine(const std::string& path, const std::string& line)
{
    CFile file;
    if (!file.Open(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite |
                                     CFile::shareDenyWrite))
        return false;
    try {
        file.SeekToEnd();
        file.Write(line.data(), static_cast<UINT>(line.size()));
        return true;
    } catch (const CFileException&) {
        return false;
    }
}
