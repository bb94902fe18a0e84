#include "net/CalyxLibrary.h"

#include <cstdarg>

namespace calyx {
namespace lib {

std::string SysErrorMessage(DWORD code) { return rtl::SysErrorMessage(code); }
std::string BoolToStr(bool value, bool useBoolStrs) { return rtl::BoolToStr(value, useBoolStrs); }
std::string IntToStr(int32_t value) { return rtl::IntToStr(value); }
std::string UIntToStr(uint32_t value) { return rtl::UIntToStr(value); }
std::string Int64ToStr(int64_t value) { return rtl::IntToStr(value); }
std::string IntToHex(uint32_t value, int digits) { return rtl::IntToHex(value, digits); }
std::string StrPas(const char* text) { return rtl::StrPas(text); }
const char* PChar(const std::string& text) { return text.c_str(); }
size_t StrLen(const char* text) { return rtl::StrLen(text); }
std::string Trim(const std::string& text) { return rtl::Trim(text); }
std::string LowerCase(const std::string& text) { return rtl::LowerCase(text); }
std::string UpperCase(const std::string& text) { return rtl::UpperCase(text); }
int CompareText(const std::string& a, const std::string& b) { return rtl::CompareText(a, b); }
int CompareStr(const std::string& a, const std::string& b) { return rtl::CompareStr(a, b); }
int StrLComp(const char* a, const char* b, size_t count) { return rtl::StrLComp(a, b, count); }
int StrLIComp(const char* a, const char* b, size_t count) { return rtl::StrLIComp(a, b, count); }

std::string StringReplace(const std::string& text, const std::string& oldPattern,
                          const std::string& newPattern, unsigned flags)
{
    return rtl::StringReplace(text, oldPattern, newPattern, flags);
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = rtl::FormatV(format, args);
    va_end(args);
    return out;
}

bool FileExists(const std::string& name) { return rtl::FileExists(name); }
bool DirectoryExists(const std::string& name) { return rtl::DirectoryExists(name); }
std::string IncludeTrailingPathDelimiter(const std::string& path) { return rtl::IncludeTrailingPathDelimiter(path); }
DWORD FindFirst(const std::string& path, rtl::TSearchRec& rec) { return rtl::FindFirst(path, rec); }
DWORD FindNext(rtl::TSearchRec& rec) { return rtl::FindNext(rec); }
void FindClose(rtl::TSearchRec& rec) { rtl::FindClose(rec); }

rtl::TDateTime Now() { return rtl::Now(); }

DWORD GetCurrentThreadId() { return ::GetCurrentThreadId(); }
BOOL PostMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) { return ::PostMessageA(wnd, msg, wParam, lParam); }
void EnterCriticalSection(CRITICAL_SECTION* section) { ::EnterCriticalSection(section); }
void LeaveCriticalSection(CRITICAL_SECTION* section) { ::LeaveCriticalSection(section); }
void InitializeCriticalSection(CRITICAL_SECTION* section) { ::InitializeCriticalSection(section); }
void DeleteCriticalSection(CRITICAL_SECTION* section) { ::DeleteCriticalSection(section); }
ATOM RegisterClassA(const WNDCLASSA* wc) { return ::RegisterClassA(wc); }

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param)
{
    return ::CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu,
                             instance, param);
}

BOOL UnregisterClassA(const char* className, HINSTANCE instance) { return ::UnregisterClassA(className, instance); }
BOOL FreeLibrary(HMODULE module) { return ::FreeLibrary(module); }
HMODULE LoadLibraryA(const char* name) { return ::LoadLibraryA(name); }
FARPROC GetProcAddress(HMODULE module, const char* name) { return ::GetProcAddress(module, name); }
DWORD GetTickCount() { return ::GetTickCount(); }
void Sleep(DWORD ms) { ::Sleep(ms); }

rtl::TApplication* Application() { return rtl::Application(); }

WORD MakeWord(BYTE low, BYTE high) { return WORD(low | (WORD(high) << 8)); }
DWORD MakeLong(WORD low, WORD high) { return DWORD(low) | (DWORD(high) << 16); }
WORD HiWord(DWORD value) { return WORD(value >> 16); }

}  // namespace lib
}  // namespace calyx
