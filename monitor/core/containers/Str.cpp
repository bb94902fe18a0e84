#include "containers/Str.h"
#include "containers/AnsiText.h"
#include "runtime/BufferHandle.h"
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <type_traits>
#include <utility>

namespace {

struct StrHeader {
    ControlBlock* cb;
    uint32_t capacity;
    uint32_t length;
};

static_assert(sizeof(void*) == 4 && sizeof(StrHeader) == 12, "string header is three 32-bit words");

constexpr uint32_t kCapacityStep = 128;
constexpr int kFormatScratch = 1024;

template <typename Ch>
StrHeader* HeaderOf(const BasicStr<Ch>& s)
{
    return reinterpret_cast<StrHeader*>(s.data) - 1;
}

// What differs between the widths.
template <typename Ch> struct CharOps;

template <> struct CharOps<char> {
    static size_t Length(const char* s) { return std::strlen(s); }
    static int CompareNoCase(const char* a, const char* b) { return _stricmp(a, b); }
    static int Format(char* out, size_t n, const char* format, va_list args)
    {
        return _vsnprintf(out, n, format, args);
    }
    // Converted length of `length` units of the other width, or -1 when they do
    // not convert; with out null only measures.
    static int Convert(char* out, int capacity, const wchar_t* in, int length)
    {
        return AnsiFromWide(in, length, out, capacity);
    }
};

template <> struct CharOps<wchar_t> {
    static size_t Length(const wchar_t* s) { return std::wcslen(s); }
    static int CompareNoCase(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b); }
    static int Format(wchar_t* out, size_t n, const wchar_t* format, va_list args)
    {
        return _vsnwprintf(out, n, format, args);
    }
    static int Convert(wchar_t* out, int capacity, const char* in, int length)
    {
        return WideFromAnsi(in, length, out, capacity);
    }
};

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

template <typename Ch>
uint32_t Measure(const Ch* source, int n)
{
    return n < 0 ? uint32_t(CharOps<Ch>::Length(source)) : uint32_t(n);
}

// True when p lies inside the string's buffer (characters and terminator).
template <typename Ch>
bool PointsInto(const BasicStr<Ch>& s, const void* p)
{
    if (!s.data)
        return false;
    auto* c = static_cast<const Ch*>(p);
    return c >= s.data && c <= s.data + HeaderOf(s)->capacity;
}

}  // namespace

template <typename Ch>
uint32_t StrLengthOf(const BasicStr<Ch>& s)
{
    return s.data ? HeaderOf(s)->length : 0;
}

template <typename Ch>
uint32_t StrCapacityOf(const BasicStr<Ch>& s)
{
    return s.data ? HeaderOf(s)->capacity : 0;
}

namespace strops {

template <typename Ch>
void Free(BasicStr<Ch>& s)
{
    if (!s.data)
        return;
    ControlBlock* cb = HeaderOf(s)->cb;
    s.data = nullptr;
    ObjRelease(cb);  // the string's one teardown
}

template <typename Ch>
int SetLength(BasicStr<Ch>& s, uint32_t n, bool keep)
{
    if (n == 0) {
        Free(s);
        return 1;
    }
    if (s.data) {
        StrHeader* h = HeaderOf(s);
        if (h->capacity >= n && h->cb->strong == 1) {
            h->length = n;
            s.data[n] = 0;
            return 1;
        }
    }
    const uint64_t capacity = uint64_t(n) - n % kCapacityStep + kCapacityStep;
    const uint64_t bytes = sizeof(StrHeader) + (capacity + 1) * sizeof(Ch);
    if (bytes > UINT32_MAX)
        return 0;
    BufferHandle made;
    if (BufAlloc(&made, nullptr, nullptr, uint32_t(bytes)) != kStatusSuccess)
        return 0;
    auto* h = static_cast<StrHeader*>(made.data);
    *h = {made.cb, uint32_t(capacity), n};
    Ch* chars = reinterpret_cast<Ch*>(h + 1);
    chars[0] = 0;
    chars[n] = 0;
    if (keep && s.data) {
        uint32_t m = n < HeaderOf(s)->length ? n : HeaderOf(s)->length;
        std::memcpy(chars, s.data, m * sizeof(Ch));
        chars[m] = 0;
    }
    Free(s);
    s.data = chars;
    return 1;
}

template <typename Ch>
int Compare(const BasicStr<Ch>& s, const Ch* other)
{
    if (!s.data)
        return other && *other ? -1 : 0;
    if (!other)
        return 1;
    using Unsigned = typename std::make_unsigned<Ch>::type;
    const Ch* a = s.data;
    while (*a && *a == *other)
        ++a, ++other;
    return Sign(int(Unsigned(*a)) - int(Unsigned(*other)));
}

template <typename Ch>
int CompareNoCase(const BasicStr<Ch>& s, const Ch* other)
{
    if (!s.data)
        return other && *other ? -1 : 0;
    if (!other)
        return 1;
    return Sign(CharOps<Ch>::CompareNoCase(s.data, other));
}

template <typename Ch>
void Copy(BasicStr<Ch>& destination, const BasicStr<Ch>& source)
{
    // The reference on the source's buffer comes first: both may share one.
    if (source.data)
        ObjAddRef(HeaderOf(source)->cb);
    Ch* shared = source.data;
    Free(destination);
    destination.data = shared;
}

template <typename Ch>
uint32_t Assign(BasicStr<Ch>& s, const Ch* source, int n)
{
    if (!source) {
        Free(s);
        return 0;
    }
    if (source == s.data && n < 0)
        return StrLengthOf(s);
    const uint32_t length = Measure(source, n);
    // Text from the string's own buffer stays readable until it is copied.
    BasicStr<Ch> hold;
    if (PointsInto(s, source))
        hold = s;
    if (!SetLength(s, length, false))
        return StrLengthOf(s);
    if (length)
        std::memcpy(s.data, source, length * sizeof(Ch));
    return length;
}

template <typename Ch>
uint32_t Append(BasicStr<Ch>& s, const Ch* source, int n)
{
    const uint32_t old = StrLengthOf(s);
    if (!source)
        return old;
    const uint32_t length = Measure(source, n);
    if (length == 0 || length > UINT32_MAX - old)
        return old;
    BasicStr<Ch> hold;
    if (PointsInto(s, source))
        hold = s;
    if (!SetLength(s, old + length, true))
        return old;
    std::memcpy(s.data + old, source, length * sizeof(Ch));
    return old + length;
}

// Converts n characters of the other width into a scratch string of this
// width; false when the text does not convert.
template <typename Ch, typename Other>
bool Convert(BasicStr<Ch>& out, const Other* source, int n)
{
    // The text ends at its first NUL, also within the n characters given.
    uint32_t units = 0;
    while ((n < 0 || units < uint32_t(n)) && source[units] != 0)
        ++units;
    if (units > uint32_t(INT_MAX))
        return false;
    const int length = CharOps<Ch>::Convert(nullptr, 0, source, int(units));
    if (length < 0)
        return false;
    if (length == 0) {
        Free(out);
        return true;
    }
    if (!SetLength(out, uint32_t(length), false))
        return false;
    // The converted text may come out shorter than measured: its own result decides.
    const int converted = CharOps<Ch>::Convert(out.data, length, source, int(units));
    if (converted <= 0 || converted > length)
        return false;
    return SetLength(out, uint32_t(converted), true) == 1;
}

template <typename Ch, typename Other>
uint32_t AssignOther(BasicStr<Ch>& s, const Other* source, int n)
{
    if (!source) {
        Free(s);
        return 0;
    }
    BasicStr<Ch> converted;
    if (!Convert(converted, source, n))
        return StrLengthOf(s);
    const uint32_t length = StrLengthOf(converted);
    s = std::move(converted);
    return length;
}

template <typename Ch, typename Other>
uint32_t AppendOther(BasicStr<Ch>& s, const Other* source, int n)
{
    BasicStr<Ch> converted;
    if (!source || !Convert(converted, source, n))
        return StrLengthOf(s);
    return Append(s, converted.data, int(StrLengthOf(converted)));
}

// One character of the other width as one of this width; false when it does
// not convert to exactly one.
template <typename Ch, typename Other>
bool ConvertChar(Other c, Ch* out)
{
    if (c == 0) {
        *out = 0;
        return true;
    }
    Ch converted[8];
    if (CharOps<Ch>::Convert(converted, 8, &c, 1) != 1)
        return false;
    *out = converted[0];
    return true;
}

template <typename Ch>
uint32_t Fill(BasicStr<Ch>& s, Ch c, uint32_t n)
{
    if (n == 0) {
        Free(s);
        return 0;
    }
    if (!SetLength(s, n, false))
        return StrLengthOf(s);
    for (uint32_t i = 0; i < n; ++i)
        s.data[i] = c;
    return n;
}

template <typename Ch, typename Other>
uint32_t FillOther(BasicStr<Ch>& s, Other c, uint32_t n)
{
    Ch converted;
    return ConvertChar(c, &converted) ? Fill(s, converted, n) : StrLengthOf(s);
}

template <typename Ch>
uint32_t AppendChars(BasicStr<Ch>& s, Ch c, uint32_t n)
{
    const uint32_t old = StrLengthOf(s);
    if (n == 0 || n > UINT32_MAX - old || !SetLength(s, old + n, true))
        return old;
    for (uint32_t i = old; i < old + n; ++i)
        s.data[i] = c;
    return old + n;
}

template <typename Ch, typename Other>
uint32_t AppendCharsOther(BasicStr<Ch>& s, Other c, uint32_t n)
{
    Ch converted;
    return ConvertChar(c, &converted) ? AppendChars(s, converted, n) : StrLengthOf(s);
}

template <typename Ch>
uint32_t ReplaceChar(BasicStr<Ch>& s, Ch from, Ch to)
{
    const uint32_t length = StrLengthOf(s);
    if (length == 0 || !SetLength(s, length, true))
        return 0;
    uint32_t replaced = 0;
    for (uint32_t i = 0; i < length; ++i)
        if (s.data[i] == from) {
            s.data[i] = to;
            ++replaced;
        }
    return replaced;
}

template <typename Ch>
uint32_t FormatV(BasicStr<Ch>& s, bool append, const Ch* format, va_list args)
{
    Ch scratch[kFormatScratch];
    // msvcrt writes no terminator when the output fills the scratch area.
    const int written = CharOps<Ch>::Format(scratch, kFormatScratch, format, args);
    if (written < 0 || written >= kFormatScratch)
        scratch[kFormatScratch - 1] = 0;
    return append ? Append(s, scratch, kStrMeasure) : Assign(s, scratch, kStrMeasure);
}

template <typename Ch>
Ch* GetBuffer(BasicStr<Ch>& s, uint32_t n, bool keep)
{
    return SetLength(s, n, keep) ? s.data : nullptr;
}

template <typename Ch>
Ch* Reserve(BasicStr<Ch>& s, uint32_t n, bool keep)
{
    const uint32_t old = StrLengthOf(s);
    if (n < old)
        n = old;
    if (n == 0 || !SetLength(s, n, keep))
        return s.data;
    HeaderOf(s)->length = old;
    s.data[old] = 0;
    return s.data;
}

template <typename Ch>
Ch* CStr(BasicStr<Ch>& s)
{
    if (!s.data || !SetLength(s, HeaderOf(s)->length, true))
        return nullptr;
    return s.data;
}

template <typename Ch>
uint32_t SyncLength(BasicStr<Ch>& s)
{
    if (!s.data)
        return 0;
    StrHeader* h = HeaderOf(s);
    uint32_t n = 0;
    while (n < h->capacity && s.data[n])
        ++n;
    s.data[n] = 0;
    h->length = n;
    return n;
}

}  // namespace strops

uint32_t StrFormat(Str& s, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    uint32_t length = strops::FormatV(s, false, format, args);
    va_end(args);
    return length;
}

uint32_t StrAppendFormat(Str& s, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    uint32_t length = strops::FormatV(s, true, format, args);
    va_end(args);
    return length;
}

uint32_t WStrFormat(WStr& s, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    uint32_t length = strops::FormatV(s, false, format, args);
    va_end(args);
    return length;
}

uint32_t WStrAppendFormat(WStr& s, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    uint32_t length = strops::FormatV(s, true, format, args);
    va_end(args);
    return length;
}

HRESULT StrToBstr(const WStr& s, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!s.data)
        return S_OK;
    *out = SysAllocStringByteLen(reinterpret_cast<const char*>(s.data), HeaderOf(s)->length * 2);
    return *out ? S_OK : E_OUTOFMEMORY;
}

#define QUEL_STR_INSTANTIATE(Ch, Other)                                                            \
    template uint32_t StrLengthOf(const BasicStr<Ch>&);                                            \
    template uint32_t StrCapacityOf(const BasicStr<Ch>&);                                          \
    namespace strops {                                                                             \
    template int SetLength(BasicStr<Ch>&, uint32_t, bool);                                         \
    template void Free(BasicStr<Ch>&);                                                             \
    template int Compare(const BasicStr<Ch>&, const Ch*);                                          \
    template int CompareNoCase(const BasicStr<Ch>&, const Ch*);                                    \
    template void Copy(BasicStr<Ch>&, const BasicStr<Ch>&);                                        \
    template uint32_t Assign(BasicStr<Ch>&, const Ch*, int);                                       \
    template uint32_t AssignOther(BasicStr<Ch>&, const Other*, int);                               \
    template uint32_t Append(BasicStr<Ch>&, const Ch*, int);                                       \
    template uint32_t AppendOther(BasicStr<Ch>&, const Other*, int);                               \
    template uint32_t Fill(BasicStr<Ch>&, Ch, uint32_t);                                           \
    template uint32_t FillOther(BasicStr<Ch>&, Other, uint32_t);                                   \
    template uint32_t AppendChars(BasicStr<Ch>&, Ch, uint32_t);                                    \
    template uint32_t AppendCharsOther(BasicStr<Ch>&, Other, uint32_t);                            \
    template uint32_t ReplaceChar(BasicStr<Ch>&, Ch, Ch);                                          \
    template uint32_t FormatV(BasicStr<Ch>&, bool, const Ch*, va_list);                            \
    template Ch* GetBuffer(BasicStr<Ch>&, uint32_t, bool);                                         \
    template Ch* Reserve(BasicStr<Ch>&, uint32_t, bool);                                           \
    template Ch* CStr(BasicStr<Ch>&);                                                              \
    template uint32_t SyncLength(BasicStr<Ch>&);                                                   \
    }

QUEL_STR_INSTANTIATE(char, wchar_t)
QUEL_STR_INSTANTIATE(wchar_t, char)
