#pragma once
// Text, time and file routines of the runtime.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <string>

namespace rtl {

// Days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec);
TDateTime Now();

// Formats with the runtime's date-time tokens: yyyy yy mm dd hh nn ss zzz;
// text in double or single quotes is copied as it stands.
std::string FormatDateTime(const std::string& format, TDateTime value);

std::string SysErrorMessage(DWORD code);
std::string BoolToStr(bool value, bool useBoolStrs = false);
std::string IntToStr(int32_t value);
std::string IntToStr(int64_t value);
std::string UIntToStr(uint32_t value);
std::string IntToHex(uint32_t value, int digits);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

std::string Trim(const std::string& text);
std::string LowerCase(const std::string& text);
std::string UpperCase(const std::string& text);
int CompareText(const std::string& a, const std::string& b);
int CompareStr(const std::string& a, const std::string& b);
int StrLComp(const char* a, const char* b, size_t count);
int StrLIComp(const char* a, const char* b, size_t count);
std::string StrPas(const char* text);
size_t StrLen(const char* text);

enum TReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
std::string StringReplace(const std::string& text, const std::string& oldPattern,
                          const std::string& newPattern, unsigned flags);

bool FileExists(const std::string& name);
bool DirectoryExists(const std::string& name);
std::string IncludeTrailingPathDelimiter(const std::string& path);

struct TSearchRec {
    std::string Name;
    DWORD Attr = 0;
    uint64_t Size = 0;
    HANDLE FindHandle = INVALID_HANDLE_VALUE;
};
// 0 on success, else the system error code, as the runtime's directory search.
DWORD FindFirst(const std::string& path, TSearchRec& rec);
DWORD FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

}  // namespace rtl
