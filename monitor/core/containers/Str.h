#pragma once
#include <windows.h>
#include <oleauto.h>
#include <cstdarg>
#include <cstdint>

// The core's strings: one pointer wide, null for the empty string, otherwise
// pointing at the characters of a reference-counted buffer laid out as
// [control block][capacity][length][characters][terminator] (32-bit header
// words; capacity and length count characters). Copies share the buffer; one
// whose strong count is 1 belongs to one string alone and is changed in place,
// a shared one is replaced before any write. A new buffer for n characters
// holds the next multiple of 128 above n.
template <typename Ch>
struct BasicStr {
    Ch* data = nullptr;

    BasicStr() = default;
    BasicStr(const BasicStr& other);
    BasicStr(BasicStr&& other) noexcept : data(other.data) { other.data = nullptr; }
    BasicStr& operator=(const BasicStr& other);
    BasicStr& operator=(BasicStr&& other) noexcept;
    ~BasicStr();
};

using Str = BasicStr<char>;
using WStr = BasicStr<wchar_t>;

static_assert(sizeof(Str) == 4 && sizeof(WStr) == 4, "a string is one pointer");
static_assert(sizeof(wchar_t) == 2, "wide strings hold 16-bit characters");

// Counts of -1 measure the source up to its terminator.
constexpr int kStrMeasure = -1;

// Header words in front of a buffer's characters; 0 for the empty string.
template <typename Ch> uint32_t StrLengthOf(const BasicStr<Ch>& s);
template <typename Ch> uint32_t StrCapacityOf(const BasicStr<Ch>& s);

// The operations, each in one template for both widths; the narrow and wide
// names below are the ones callers use.
namespace strops {
template <typename Ch> int SetLength(BasicStr<Ch>& s, uint32_t n, bool keep);
template <typename Ch> void Free(BasicStr<Ch>& s);
template <typename Ch> int Compare(const BasicStr<Ch>& s, const Ch* other);
template <typename Ch> int CompareNoCase(const BasicStr<Ch>& s, const Ch* other);
template <typename Ch> void Copy(BasicStr<Ch>& destination, const BasicStr<Ch>& source);
template <typename Ch> uint32_t Assign(BasicStr<Ch>& s, const Ch* source, int n);
template <typename Ch, typename Other> uint32_t AssignOther(BasicStr<Ch>& s, const Other* source, int n);
template <typename Ch> uint32_t Append(BasicStr<Ch>& s, const Ch* source, int n);
template <typename Ch, typename Other> uint32_t AppendOther(BasicStr<Ch>& s, const Other* source, int n);
template <typename Ch> uint32_t Fill(BasicStr<Ch>& s, Ch c, uint32_t n);
template <typename Ch, typename Other> uint32_t FillOther(BasicStr<Ch>& s, Other c, uint32_t n);
template <typename Ch> uint32_t AppendChars(BasicStr<Ch>& s, Ch c, uint32_t n);
template <typename Ch, typename Other> uint32_t AppendCharsOther(BasicStr<Ch>& s, Other c, uint32_t n);
template <typename Ch> uint32_t ReplaceChar(BasicStr<Ch>& s, Ch from, Ch to);
template <typename Ch> uint32_t FormatV(BasicStr<Ch>& s, bool append, const Ch* format, va_list args);
template <typename Ch> Ch* GetBuffer(BasicStr<Ch>& s, uint32_t n, bool keep);
template <typename Ch> Ch* Reserve(BasicStr<Ch>& s, uint32_t n, bool keep);
template <typename Ch> Ch* CStr(BasicStr<Ch>& s);
template <typename Ch> uint32_t SyncLength(BasicStr<Ch>& s);
}  // namespace strops

// 1, or 0 when no buffer can be had (the string is unchanged). 0 releases the
// buffer; a buffer of the string's own with room is changed in place; else a
// new one, keeping the first min(n, length) characters when asked to.
// Characters past the kept ones are undefined until written.
inline int StrSetLength(Str& s, uint32_t n, bool keep) { return strops::SetLength(s, n, keep); }
inline void StrFree(Str& s) { strops::Free(s); }
inline void StrClear(Str& s) { strops::SetLength(s, 0, false); }
inline void StrDestroy(Str& s) { strops::Free(s); }
// -1, 0, 1. An empty string equals an absent or empty text and sorts before
// any other; bytes compare unsigned.
inline int StrCompare(const Str& s, const char* other) { return strops::Compare(s, other); }
inline int StrCompareNoCase(const Str& s, const char* other) { return strops::CompareNoCase(s, other); }
// Shares the source's buffer (a string copied onto itself stays as it is).
inline void StrCopy(Str& destination, const Str& source) { strops::Copy(destination, source); }
// The new length, or the current one when no buffer can be had or the text
// does not convert. Sources may point into the string's own buffer.
inline uint32_t StrAssign(Str& s, const char* source, int n = kStrMeasure) { return strops::Assign(s, source, n); }
inline uint32_t StrAssignWide(Str& s, const wchar_t* source, int n = kStrMeasure) { return strops::AssignOther(s, source, n); }
inline uint32_t StrAppend(Str& s, const char* source, int n = kStrMeasure) { return strops::Append(s, source, n); }
inline uint32_t StrAppendWide(Str& s, const wchar_t* source, int n = kStrMeasure) { return strops::AppendOther(s, source, n); }
inline uint32_t StrFill(Str& s, char c, uint32_t n) { return strops::Fill(s, c, n); }
inline uint32_t StrFillWide(Str& s, wchar_t c, uint32_t n) { return strops::FillOther(s, c, n); }
inline uint32_t StrAppendChars(Str& s, char c, uint32_t n) { return strops::AppendChars(s, c, n); }
inline uint32_t StrAppendCharsWide(Str& s, wchar_t c, uint32_t n) { return strops::AppendCharsOther(s, c, n); }
// The number replaced (0 also when the buffer cannot be made the string's own).
inline uint32_t StrReplaceChar(Str& s, char from, char to) { return strops::ReplaceChar(s, from, to); }
// msvcrt formatting into 1024 characters; longer output is cut to 1023.
uint32_t StrFormat(Str& s, const char* format, ...);
uint32_t StrAppendFormat(Str& s, const char* format, ...);
inline char* StrGetBuffer(Str& s, uint32_t n, bool keep) { return strops::GetBuffer(s, n, keep); }
// Room for max(n, length) characters, the length unchanged; data or null.
inline char* StrReserve(Str& s, uint32_t n, bool keep) { return strops::Reserve(s, n, keep); }
// A buffer of the string's own; null for the empty string.
inline char* StrCStr(Str& s) { return strops::CStr(s); }
// Length = the first terminator, after the caller wrote into the buffer.
inline uint32_t StrSyncLength(Str& s) { return strops::SyncLength(s); }

inline int WStrSetLength(WStr& s, uint32_t n, bool keep) { return strops::SetLength(s, n, keep); }
inline void WStrFree(WStr& s) { strops::Free(s); }
inline void WStrClear(WStr& s) { strops::SetLength(s, 0, false); }
inline void WStrDestroy(WStr& s) { strops::Free(s); }
inline int WStrCompare(const WStr& s, const wchar_t* other) { return strops::Compare(s, other); }
inline int WStrCompareNoCase(const WStr& s, const wchar_t* other) { return strops::CompareNoCase(s, other); }
inline void WStrCopy(WStr& destination, const WStr& source) { strops::Copy(destination, source); }
inline uint32_t WStrAssign(WStr& s, const wchar_t* source, int n = kStrMeasure) { return strops::Assign(s, source, n); }
inline uint32_t WStrAssignNarrow(WStr& s, const char* source, int n = kStrMeasure) { return strops::AssignOther(s, source, n); }
inline uint32_t WStrAppend(WStr& s, const wchar_t* source, int n = kStrMeasure) { return strops::Append(s, source, n); }
inline uint32_t WStrAppendNarrow(WStr& s, const char* source, int n = kStrMeasure) { return strops::AppendOther(s, source, n); }
inline uint32_t WStrFill(WStr& s, wchar_t c, uint32_t n) { return strops::Fill(s, c, n); }
inline uint32_t WStrFillNarrow(WStr& s, char c, uint32_t n) { return strops::FillOther(s, c, n); }
inline uint32_t WStrAppendChars(WStr& s, wchar_t c, uint32_t n) { return strops::AppendChars(s, c, n); }
inline uint32_t WStrAppendCharsNarrow(WStr& s, char c, uint32_t n) { return strops::AppendCharsOther(s, c, n); }
inline uint32_t WStrReplaceChar(WStr& s, wchar_t from, wchar_t to) { return strops::ReplaceChar(s, from, to); }
// msvcrt wide formatting: %s takes a wide string, %hs a narrow one.
uint32_t WStrFormat(WStr& s, const wchar_t* format, ...);
uint32_t WStrAppendFormat(WStr& s, const wchar_t* format, ...);
inline wchar_t* WStrGetBuffer(WStr& s, uint32_t n, bool keep) { return strops::GetBuffer(s, n, keep); }
inline wchar_t* WStrReserve(WStr& s, uint32_t n, bool keep) { return strops::Reserve(s, n, keep); }
inline wchar_t* WStrCStr(WStr& s) { return strops::CStr(s); }
inline uint32_t WStrSyncLength(WStr& s) { return strops::SyncLength(s); }

// A BSTR of the string's characters: 0; 0x80004003 without out; the empty
// string gives a null BSTR; 0x8007000E when the BSTR cannot be had.
HRESULT StrToBstr(const WStr& s, BSTR* out);

template <typename Ch> BasicStr<Ch>::BasicStr(const BasicStr& other) { strops::Copy(*this, other); }
template <typename Ch> BasicStr<Ch>& BasicStr<Ch>::operator=(const BasicStr& other)
{
    strops::Copy(*this, other);
    return *this;
}
template <typename Ch> BasicStr<Ch>& BasicStr<Ch>::operator=(BasicStr&& other) noexcept
{
    if (this != &other) {
        strops::Free(*this);
        data = other.data;
        other.data = nullptr;
    }
    return *this;
}
template <typename Ch> BasicStr<Ch>::~BasicStr() { strops::Free(*this); }
