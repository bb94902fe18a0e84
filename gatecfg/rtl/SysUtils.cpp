#include "rtl/SysUtils.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace rtl {

namespace {

constexpr int64_t kMsecPerDay = 86400000;

bool IsLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Days from 0001-01-01 to the given date (proleptic Gregorian).
int64_t DayNumber(int y, int m, int d)
{
    static const int cum[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int64_t yy = y - 1;
    int64_t days = yy * 365 + yy / 4 - yy / 100 + yy / 400 + cum[m - 1] + (d - 1);
    if (m > 2 && IsLeap(y))
        ++days;
    return days;
}

const int64_t kEpochDay = DayNumber(1899, 12, 30);

}  // namespace

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec)
{
    int64_t days = DayNumber(year, month, day) - kEpochDay;
    int64_t ms = ((int64_t(hour) * 60 + minute) * 60 + second) * 1000 + msec;
    return double(days) + double(ms) / double(kMsecPerDay);
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec)
{
    int64_t total = std::llround(value * double(kMsecPerDay));
    int64_t days = total / kMsecPerDay;
    int64_t ms = total % kMsecPerDay;
    if (ms < 0) {
        ms += kMsecPerDay;
        --days;
    }
    int64_t n = days + kEpochDay;
    int y = int(n / 366) + 1;
    while (DayNumber(y + 1, 1, 1) <= n)
        ++y;
    int m = 1;
    while (m < 12 && DayNumber(y, m + 1, 1) <= n)
        ++m;
    year = y;
    month = m;
    day = int(n - DayNumber(y, m, 1)) + 1;
    hour = int(ms / 3600000);
    minute = int(ms / 60000 % 60);
    second = int(ms / 1000 % 60);
    msec = int(ms % 1000);
}

TDateTime Now()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return EncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                          st.wMilliseconds);
}

std::string FormatDateTime(const std::string& format, TDateTime value)
{
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(value, y, mo, d, h, mi, s, ms);
    std::string out;
    char buf[16];
    size_t i = 0;
    auto starts = [&](const char* token) {
        size_t n = std::strlen(token);
        return StrLIComp(format.c_str() + i, token, n) == 0 && format.size() - i >= n;
    };
    while (i < format.size()) {
        char c = format[i];
        if (c == '"' || c == '\'') {
            size_t end = format.find(c, i + 1);
            if (end == std::string::npos)
                end = format.size();
            out.append(format, i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        struct Token {
            const char* name;
            const char* fmt;
            int value;
        };
        const Token tokens[] = {{"yyyy", "%04d", y}, {"zzz", "%03d", ms}, {"yy", "%02d", y % 100},
                                {"mm", "%02d", mo},  {"dd", "%02d", d},    {"hh", "%02d", h},
                                {"nn", "%02d", mi},  {"ss", "%02d", s}};
        bool matched = false;
        for (const Token& t : tokens) {
            if (starts(t.name)) {
                std::snprintf(buf, sizeof buf, t.fmt, t.value);
                out += buf;
                i += std::strlen(t.name);
                matched = true;
                break;
            }
        }
        if (!matched)
            out += format[i++];
    }
    return out;
}

std::string SysErrorMessage(DWORD code)
{
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result;
    if (n && text) {
        result.assign(text, n);
        LocalFree(text);
    }
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ' ||
                               result.back() == '.'))
        result.pop_back();
    return result;
}

std::string BoolToStr(bool value, bool useBoolStrs)
{
    if (useBoolStrs)
        return value ? "True" : "False";
    return value ? "-1" : "0";
}

std::string IntToStr(int32_t value)
{
    return std::to_string(value);
}

std::string IntToStr(int64_t value)
{
    return std::to_string(value);
}

std::string UIntToStr(uint32_t value)
{
    return std::to_string(value);
}

std::string IntToHex(uint32_t value, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits < 0 ? 0 : (digits > 8 ? 8 : digits),
                  static_cast<unsigned>(value));
    return buf;
}

std::string FormatV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(size_t(n) + 1);
        std::vsnprintf(&out[0], out.size(), format, args);
        out.resize(size_t(n));
    }
    return out;
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

std::string Trim(const std::string& text)
{
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return text.substr(b, e - b);
}

std::string LowerCase(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

std::string UpperCase(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

int CompareText(const std::string& a, const std::string& b)
{
    return CompareStr(LowerCase(a), LowerCase(b));
}

int CompareStr(const std::string& a, const std::string& b)
{
    int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int StrLComp(const char* a, const char* b, size_t count)
{
    return std::strncmp(a, b, count);
}

int StrLIComp(const char* a, const char* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        int ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z')
            ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z')
            cb += 'a' - 'A';
        if (ca != cb)
            return ca - cb;
        if (ca == 0)
            break;
    }
    return 0;
}

std::string StrPas(const char* text)
{
    return text ? std::string(text) : std::string();
}

size_t StrLen(const char* text)
{
    return text ? std::strlen(text) : 0;
}

std::string StringReplace(const std::string& text, const std::string& oldPattern,
                          const std::string& newPattern, unsigned flags)
{
    if (oldPattern.empty())
        return text;
    const std::string hay = (flags & rfIgnoreCase) ? LowerCase(text) : text;
    const std::string needle = (flags & rfIgnoreCase) ? LowerCase(oldPattern) : oldPattern;
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t hit = hay.find(needle, pos);
        if (hit == std::string::npos)
            break;
        out.append(text, pos, hit - pos);
        out += newPattern;
        pos = hit + needle.size();
        if (!(flags & rfReplaceAll))
            break;
    }
    out.append(text, pos, std::string::npos);
    return out;
}

bool FileExists(const std::string& name)
{
    DWORD a = GetFileAttributesA(name.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& name)
{
    DWORD a = GetFileAttributesA(name.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string IncludeTrailingPathDelimiter(const std::string& path)
{
    if (!path.empty() && path.back() == '\\')
        return path;
    return path + '\\';
}

namespace {
void Fill(TSearchRec& rec, const WIN32_FIND_DATAA& data)
{
    rec.Name = data.cFileName;
    rec.Attr = data.dwFileAttributes;
    rec.Size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
}  // namespace

DWORD FindFirst(const std::string& path, TSearchRec& rec)
{
    WIN32_FIND_DATAA data;
    rec.FindHandle = FindFirstFileA(path.c_str(), &data);
    if (rec.FindHandle == INVALID_HANDLE_VALUE)
        return GetLastError();
    Fill(rec, data);
    return 0;
}

DWORD FindNext(TSearchRec& rec)
{
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(rec.FindHandle, &data))
        return GetLastError();
    Fill(rec, data);
    return 0;
}

void FindClose(TSearchRec& rec)
{
    if (rec.FindHandle != INVALID_HANDLE_VALUE) {
        ::FindClose(rec.FindHandle);
        rec.FindHandle = INVALID_HANDLE_VALUE;
    }
}

}  // namespace rtl
