#pragma once
// The socket library's one door to the runtime and the platform: each routine
// passes its arguments unchanged to one runtime or Win32 operation.
#include <windows.h>

#include <cstdint>
#include <string>

#include "rtl/Application.h"
#include "rtl/SysUtils.h"

namespace calyx {
namespace lib {

// text
std::string SysErrorMessage(DWORD code);
std::string BoolToStr(bool value, bool useBoolStrs = false);
std::string IntToStr(int32_t value);
std::string UIntToStr(uint32_t value);
std::string Int64ToStr(int64_t value);
std::string IntToHex(uint32_t value, int digits);
std::string StrPas(const char* text);
const char* PChar(const std::string& text);
size_t StrLen(const char* text);
std::string Trim(const std::string& text);
std::string LowerCase(const std::string& text);
std::string UpperCase(const std::string& text);
int CompareText(const std::string& a, const std::string& b);
int CompareStr(const std::string& a, const std::string& b);
int StrLComp(const char* a, const char* b, size_t count);
int StrLIComp(const char* a, const char* b, size_t count);
std::string StringReplace(const std::string& text, const std::string& oldPattern,
                          const std::string& newPattern, unsigned flags);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// files
bool FileExists(const std::string& name);
bool DirectoryExists(const std::string& name);
std::string IncludeTrailingPathDelimiter(const std::string& path);
DWORD FindFirst(const std::string& path, rtl::TSearchRec& rec);
DWORD FindNext(rtl::TSearchRec& rec);
void FindClose(rtl::TSearchRec& rec);

// objects and time
template <class T>
void FreeAndNil(T*& object)
{
    T* doomed = object;
    object = nullptr;
    delete doomed;
}
rtl::TDateTime Now();

// Win32
DWORD GetCurrentThreadId();
BOOL PostMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
ATOM RegisterClassA(const WNDCLASSA* wc);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
BOOL FreeLibrary(HMODULE module);
HMODULE LoadLibraryA(const char* name);
FARPROC GetProcAddress(HMODULE module, const char* name);
DWORD GetTickCount();
void Sleep(DWORD ms);

// application
rtl::TApplication* Application();

// packing
WORD MakeWord(BYTE low, BYTE high);
DWORD MakeLong(WORD low, WORD high);
WORD HiWord(DWORD value);

}  // namespace lib
}  // namespace calyx
