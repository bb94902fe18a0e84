#include "containers/Str.h"
#include "runtime/ControlBlock.h"
#include "runtime/TrackedBlock.h"
#include "support/CoreTestFixture.h"
#include <windows.h>
#include <cstring>
#include <iterator>
#include <string>

namespace {

template <typename Ch>
std::basic_string<Ch> Text(const char* ascii)
{
    return std::basic_string<Ch>(ascii, ascii + std::strlen(ascii));
}

template <typename Ch>
std::basic_string<Ch> Contents(const BasicStr<Ch>& s)
{
    return s.data ? std::basic_string<Ch>(s.data, StrLengthOf(s)) : std::basic_string<Ch>();
}

template <typename Ch>
void AssignText(BasicStr<Ch>& s, const char* ascii)
{
    strops::Assign(s, Text<Ch>(ascii).c_str(), kStrMeasure);
}

uint32_t Strong(const void* data)
{
    return uint32_t(static_cast<ControlBlock* const*>(data)[-3]->strong);
}

// Both widths run the same cases; the operations are one template each.
template <typename Ch>
class StrBoth : public CoreTest {};
using Widths = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(StrBoth, Widths);

TYPED_TEST(StrBoth, CopiesShareUntilOneIsWritten)
{
    BasicStr<TypeParam> a, b;
    AssignText(a, "hello");
    b = a;
    EXPECT_EQ(b.data, a.data);
    EXPECT_EQ(Strong(a.data), 2u);
    strops::Append(b, Text<TypeParam>(" world").c_str(), kStrMeasure);
    EXPECT_NE(b.data, a.data);
    EXPECT_EQ(Contents(a), Text<TypeParam>("hello"));
    EXPECT_EQ(Contents(b), Text<TypeParam>("hello world"));
    EXPECT_EQ(Strong(a.data), 1u);

    BasicStr<TypeParam> c = a;
    EXPECT_EQ(strops::ReplaceChar(c, TypeParam('l'), TypeParam('L')), 2u);
    EXPECT_EQ(Contents(c), Text<TypeParam>("heLLo"));
    EXPECT_EQ(Contents(a), Text<TypeParam>("hello"));

    // A shared string cut short through its buffer leaves a terminated prefix.
    BasicStr<TypeParam> d = a;
    TypeParam* prefix = strops::GetBuffer(d, 3, true);
    ASSERT_NE(prefix, nullptr);
    EXPECT_EQ(std::basic_string<TypeParam>(prefix), Text<TypeParam>("hel"));
    EXPECT_EQ(Contents(a), Text<TypeParam>("hello"));

    strops::Copy(a, a);
    EXPECT_EQ(Contents(a), Text<TypeParam>("hello")) << "a string copied onto itself stays";
}

TYPED_TEST(StrBoth, CapacityGrowsInStepsOf128)
{
    BasicStr<TypeParam> s;
    std::basic_string<TypeParam> text(127, TypeParam('x'));
    EXPECT_EQ(strops::Assign(s, text.c_str(), kStrMeasure), 127u);
    EXPECT_EQ(StrCapacityOf(s), 128u);
    TypeParam* first = s.data;
    // 128 characters and the terminator still fit the buffer the string owns.
    EXPECT_EQ(strops::AppendChars(s, TypeParam('y'), 1), 128u);
    EXPECT_EQ(StrCapacityOf(s), 128u);
    EXPECT_EQ(s.data, first);
    EXPECT_EQ(s.data[128], TypeParam(0));
    EXPECT_EQ(strops::AppendChars(s, TypeParam('z'), 1), 129u);
    EXPECT_EQ(StrCapacityOf(s), 256u);
    EXPECT_NE(s.data, first);
    EXPECT_EQ(Contents(s), text + TypeParam('y') + TypeParam('z'));
    BasicStr<TypeParam> fresh;
    strops::Fill(fresh, TypeParam('f'), 128);
    EXPECT_EQ(StrCapacityOf(fresh), 256u) << "a new buffer for 128 characters";

    // Shorter lengths stay in the buffer the string owns.
    TypeParam* second = s.data;
    EXPECT_EQ(strops::SetLength(s, 10, true), 1);
    EXPECT_EQ(s.data, second);
    EXPECT_EQ(s.data[10], TypeParam(0));

    // Length 0 gives the buffer back.
    uint32_t blocks = LiveBlockCount();
    EXPECT_EQ(strops::SetLength(s, 0, true), 1);
    EXPECT_EQ(s.data, nullptr);
    EXPECT_LT(LiveBlockCount(), blocks);
}

TYPED_TEST(StrBoth, OwnTextAsSource)
{
    // Appending a string to itself across a capacity step.
    BasicStr<TypeParam> s;
    std::basic_string<TypeParam> text(100, TypeParam('a'));
    text[99] = TypeParam('z');
    strops::Assign(s, text.c_str(), kStrMeasure);
    EXPECT_EQ(strops::Append(s, s.data, kStrMeasure), 200u);
    EXPECT_EQ(Contents(s), text + text);

    // A pointer into the middle of the buffer.
    AssignText(s, "abcdef");
    EXPECT_EQ(strops::Append(s, s.data + 3, 2), 8u);
    EXPECT_EQ(Contents(s), Text<TypeParam>("abcdefde"));
    EXPECT_EQ(strops::Assign(s, s.data + 2, kStrMeasure), 6u);
    EXPECT_EQ(Contents(s), Text<TypeParam>("cdefde"));

    // Its own data with a count, while the buffer is shared: the new buffer gets the text.
    BasicStr<TypeParam> copy = s;
    EXPECT_EQ(strops::Assign(s, s.data, 3), 3u);
    EXPECT_EQ(Contents(s), Text<TypeParam>("cde"));
    EXPECT_EQ(Contents(copy), Text<TypeParam>("cdefde"));
    EXPECT_EQ(strops::Assign(s, s.data, kStrMeasure), 3u) << "its own data unmeasured: nothing";
}

TYPED_TEST(StrBoth, CompareRules)
{
    BasicStr<TypeParam> empty, abc, high;
    AssignText(abc, "abc");
    strops::Fill(high, TypeParam(0xE9), 1);
    EXPECT_EQ(strops::Compare(high, Text<TypeParam>("abc").c_str()), 1) << "characters compare unsigned";
    const std::basic_string<TypeParam> textAbc = Text<TypeParam>("abc"), textAbd = Text<TypeParam>("abd"),
                                       textAb = Text<TypeParam>("ab"), textABC = Text<TypeParam>("ABC"),
                                       textNone;
    struct Case {
        const BasicStr<TypeParam>* s;
        const TypeParam* other;
        int exact;
        int noCase;
    };
    const Case cases[] = {
        {&empty, nullptr, 0, 0},          {&empty, textNone.c_str(), 0, 0},
        {&empty, textAbc.c_str(), -1, -1}, {&abc, nullptr, 1, 1},
        {&abc, textNone.c_str(), 1, 1},    {&abc, textAbc.c_str(), 0, 0},
        {&abc, textAbd.c_str(), -1, -1},   {&abc, textAb.c_str(), 1, 1},
        {&abc, textABC.c_str(), 1, 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(strops::Compare(*cases[i].s, cases[i].other), cases[i].exact) << "case " << i;
        EXPECT_EQ(strops::CompareNoCase(*cases[i].s, cases[i].other), cases[i].noCase) << "case " << i;
    }
}

TYPED_TEST(StrBoth, FillAppendReserveAndSync)
{
    BasicStr<TypeParam> s;
    EXPECT_EQ(strops::Fill(s, TypeParam('-'), 3), 3u);
    EXPECT_EQ(strops::AppendChars(s, TypeParam('+'), 2), 5u);
    EXPECT_EQ(strops::AppendChars(s, TypeParam('+'), 0), 5u);
    EXPECT_EQ(strops::Append(s, static_cast<const TypeParam*>(nullptr), kStrMeasure), 5u);
    EXPECT_EQ(Contents(s), Text<TypeParam>("---++"));
    EXPECT_EQ(strops::Fill(s, TypeParam('x'), 0), 0u);
    EXPECT_EQ(s.data, nullptr);

    AssignText(s, "keep");
    TypeParam* reserved = strops::Reserve(s, 300, true);
    ASSERT_NE(reserved, nullptr);
    EXPECT_EQ(StrCapacityOf(s), 384u);
    EXPECT_EQ(Contents(s), Text<TypeParam>("keep"));
    EXPECT_EQ(strops::Reserve(s, 1, true), reserved) << "room below the length keeps the text";
    EXPECT_EQ(Contents(s), Text<TypeParam>("keep"));

    TypeParam* buffer = strops::GetBuffer(s, 50, true);
    buffer[4] = TypeParam('s');
    buffer[5] = TypeParam(0);
    EXPECT_EQ(strops::SyncLength(s), 5u);
    EXPECT_EQ(Contents(s), Text<TypeParam>("keeps"));

    BasicStr<TypeParam> empty;
    EXPECT_EQ(strops::CStr(empty), nullptr);
    EXPECT_EQ(strops::SyncLength(empty), 0u);
    BasicStr<TypeParam> shared = s;
    EXPECT_NE(strops::CStr(shared), s.data) << "a string asked for its text gets a buffer of its own";
}

TYPED_TEST(StrBoth, FormatCutsOverlongOutputAndTerminatesIt)
{
    BasicStr<TypeParam> s;
    std::basic_string<TypeParam> longText(2000, TypeParam('q'));
    if constexpr (sizeof(TypeParam) == 1) {
        EXPECT_EQ(StrFormat(s, "%d-%s", 42, "x"), 4u);
        EXPECT_EQ(StrAppendFormat(s, "/%03d", 7), 8u);
        EXPECT_EQ(Contents(s), "42-x/007");
        EXPECT_EQ(StrFormat(s, "%s", longText.c_str()), 1023u);
        EXPECT_EQ(StrFormat(s, "%s", longText.substr(0, 1024).c_str()), 1023u);
        EXPECT_EQ(StrFormat(s, "%s", longText.substr(0, 1023).c_str()), 1023u);
    } else {
        EXPECT_EQ(WStrFormat(s, L"%d-%s-%hs", 42, L"w", "n"), 6u);
        EXPECT_EQ(WStrAppendFormat(s, L"/%03d", 7), 10u);
        EXPECT_EQ(Contents(s), L"42-w-n/007");
        EXPECT_EQ(WStrFormat(s, L"%s", longText.c_str()), 1023u);
        EXPECT_EQ(WStrFormat(s, L"%s", longText.substr(0, 1024).c_str()), 1023u);
    }
    EXPECT_EQ(Contents(s), longText.substr(0, 1023));
}

TYPED_TEST(StrBoth, AllocationFailureLeavesTheStringAlone)
{
    BasicStr<TypeParam> s;
    AssignText(s, "abc");
    TypeParam* before = s.data;
    BasicStr<TypeParam> shared = s;
    std::basic_string<TypeParam> big(200, TypeParam('b'));
    BlockAllocFailAfter(0);
    EXPECT_EQ(strops::SetLength(s, 500, true), 0);
    EXPECT_EQ(strops::Assign(s, big.c_str(), kStrMeasure), 3u);
    EXPECT_EQ(strops::Append(s, big.c_str(), kStrMeasure), 3u);
    EXPECT_EQ(strops::ReplaceChar(s, TypeParam('a'), TypeParam('z')), 0u) << "shared: needs a buffer";
    EXPECT_EQ(strops::GetBuffer(s, 300, true), nullptr);
    BlockAllocFailAfter(-1);
    EXPECT_EQ(s.data, before);
    EXPECT_EQ(Contents(s), Text<TypeParam>("abc"));
}

class Strings : public CoreTest {};

TEST_F(Strings, ConversionsStoreTheConvertedLengthAndRefuseUnmappableText)
{
    Str narrow;
    EXPECT_EQ(StrAssignWide(narrow, L"wide text"), 9u);
    EXPECT_EQ(StrLengthOf(narrow), 9u);
    EXPECT_EQ(StrCompare(narrow, "wide text"), 0);
    EXPECT_EQ(StrAppendWide(narrow, L"+more", 1), 10u);
    EXPECT_EQ(StrAssignWide(narrow, L"abcdef", 3), 3u);
    EXPECT_EQ(StrCompare(narrow, "abc"), 0);
    EXPECT_EQ(StrFillWide(narrow, L'z', 2), 2u);
    EXPECT_EQ(StrAppendCharsWide(narrow, L'y', 2), 4u);
    EXPECT_EQ(StrCompare(narrow, "zzyy"), 0);

    // A character the ANSI code page cannot express leaves the string as it was.
    const wchar_t unmappable[] = {L'o', L'k', 0x4E2D, 0};
    EXPECT_EQ(StrAssignWide(narrow, unmappable), 4u);
    EXPECT_EQ(StrAppendWide(narrow, unmappable), 4u);
    EXPECT_EQ(StrFillWide(narrow, wchar_t(0x4E2D), 3), 4u);
    EXPECT_EQ(StrAppendCharsWide(narrow, wchar_t(0x4E2D), 3), 4u);
    EXPECT_EQ(StrCompare(narrow, "zzyy"), 0);
    EXPECT_EQ(StrAssignWide(narrow, nullptr), 0u);
    EXPECT_EQ(narrow.data, nullptr);

    WStr wide;
    EXPECT_EQ(WStrAssignNarrow(wide, "narrow"), 6u);
    EXPECT_EQ(WStrCompare(wide, L"narrow"), 0);
    EXPECT_EQ(WStrAppendNarrow(wide, "!?", 1), 7u);
    EXPECT_EQ(WStrCompare(wide, L"narrow!"), 0);
    EXPECT_EQ(WStrFillNarrow(wide, 'k', 3), 3u);
    EXPECT_EQ(WStrAppendCharsNarrow(wide, 'j', 1), 4u);
    EXPECT_EQ(WStrCompare(wide, L"kkkj"), 0);
}

// The euro sign lies above Latin-1 and in both code pages the tests run with,
// 1252 and 1251; 1251 also has the Cyrillic letters.
TEST_F(Strings, ConversionsGoThroughTheAnsiCodePage)
{
    const bool cyrillic = GetACP() == 1251;
    const std::wstring wide = cyrillic ? L"\x041F\x043E\x0440\x0442 2 \x20AC" : L"Port 2 \x20AC";
    const std::string ansi = cyrillic ? "\xCF\xEE\xF0\xF2 2 \x88" : "Port 2 \x80";
    const char* const euros = cyrillic ? "\x88\x88" : "\x80\x80";

    Str narrow;
    EXPECT_EQ(StrAssignWide(narrow, wide.c_str()), ansi.size());
    EXPECT_EQ(StrCompare(narrow, ansi.c_str()), 0);
    EXPECT_EQ(StrFillWide(narrow, L'\x20AC', 2), 2u);
    EXPECT_EQ(StrCompare(narrow, euros), 0);

    WStr back;
    EXPECT_EQ(WStrAssignNarrow(back, ansi.c_str()), wide.size());
    EXPECT_EQ(WStrCompare(back, wide.c_str()), 0);

    // A best fit would name something else: "\x0100" is not "A".
    const wchar_t bestFit[] = {L'A', 0x0100, 0};
    EXPECT_EQ(StrAssignWide(narrow, bestFit), 2u);
    EXPECT_EQ(StrCompare(narrow, euros), 0);
}

TEST_F(Strings, ToBstrCarriesTheLength)
{
    BSTR bstr = reinterpret_cast<BSTR>(1);
    WStr s;
    EXPECT_EQ(StrToBstr(s, nullptr), E_POINTER);
    EXPECT_EQ(StrToBstr(s, &bstr), S_OK);
    EXPECT_EQ(bstr, nullptr);

    WStrAssign(s, L"abc");
    ASSERT_EQ(StrToBstr(s, &bstr), S_OK);
    EXPECT_EQ(SysStringLen(bstr), 3u);
    EXPECT_EQ(SysStringByteLen(bstr), 6u);
    EXPECT_EQ(std::wstring(bstr), L"abc");
    SysFreeString(bstr);

    // An embedded terminator is carried, the length being the string's.
    WStrAssign(s, L"a\0b", 3);
    ASSERT_EQ(StrToBstr(s, &bstr), S_OK);
    EXPECT_EQ(SysStringLen(bstr), 3u);
    EXPECT_EQ(bstr[2], L'b');
    SysFreeString(bstr);
}

}  // namespace
