// From a delivered record to the printed line: splitting, routing and texts.
#include "ConsolePrinter.h"
#include "FakeScreen.h"
#include "ProviderTexts.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

std::vector<uint8_t> Record(uint32_t code, const std::string& device, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> record;
    for (int i = 0; i < 8; ++i)
        record.push_back(i == 0 ? static_cast<uint8_t>(code) : 0);
    for (char c : device)
        record.push_back(static_cast<uint8_t>(c));
    record.push_back(0);
    for (uint8_t b : payload)
        record.push_back(b);
    return record;
}

class TableTexts : public MessageTexts {
public:
    bool Text(uint32_t code, const uint8_t* payload, uint32_t length, std::wstring* text) override
    {
        asked.push_back(code);
        lengths.push_back(length);
        auto it = texts.find(code);
        if (it == texts.end())
            return false;
        *text = it->second;
        return true;
    }
    std::map<uint32_t, std::wstring> texts;
    std::vector<uint32_t> asked;
    std::vector<uint32_t> lengths;
};

TEST(RecordRouting, TextsDumpsAndMalformedRecords)
{
    FakeScreen screen;
    FixedClock clock;
    ConsolePrinter printer(screen, clock);
    TableTexts texts;
    texts.texts[1] = L"Device opened";
    auto print = [&](const std::vector<uint8_t>& record) {
        printer.PrintRecord(record.data(), static_cast<uint32_t>(record.size()), texts);
    };
    print(Record(1, "COM2", {}));
    print(Record(15, "COM2", {1, 2, 3}));
    print(Record(9, "COM2", {'h', 'i'}));
    // Too short; a name without its NUL; the payload length would wrap.
    print({1, 0, 0, 0, 0, 0});
    std::vector<uint8_t> unterminated = {10, 0, 0, 0, 0, 0, 0, 0, 'C', 'O', 'M'};
    print(unterminated);
    print({1, 0, 0, 0, 0, 0, 0, 0});

    EXPECT_EQ(texts.asked, (std::vector<uint32_t>{1, 15}));  // port data never reaches a provider
    EXPECT_EQ(texts.lengths, (std::vector<uint32_t>{0, 3}));
    const std::vector<std::string> expected = {
        "07/04/24 12:34:56 - COM2: Device opened",
        "07/04/24 12:34:56 - COM2: unknown msg (15/0x0000000f)",
        "07/04/24 12:34:56 - COM2: TX",
        "hi                  68 69",
    };
    ASSERT_EQ(screen.RowCount(), static_cast<int>(expected.size()));
    for (size_t row = 0; row < expected.size(); ++row)
        EXPECT_EQ(screen.Line(static_cast<int>(row)), expected[row]);
}

// A provider answering every code in 1-20 with a fixed result and text.
class FixedProvider : public IQuelMessageProvider {
public:
    FixedProvider(HRESULT result, const wchar_t* text) : result_(result), text_(text) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetMessageRange(long* from, long* to) override
    {
        *from = 1;
        *to = 20;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMessage(long, void*, long, QUEL_MESSAGE_TYPE* type, BSTR* text) override
    {
        *type = QUEL_MSG_INFO;
        *text = text_ ? SysAllocString(text_) : nullptr;
        return result_;
    }

private:
    HRESULT result_;
    const wchar_t* text_;
};

TEST(ProviderTexts, SuccessWithoutTextIsNoText)
{
    struct Case {
        HRESULT result;
        const wchar_t* text;
        bool known;
        const wchar_t* given;
    };
    const Case cases[] = {
        {S_OK, L"Device opened", true, L"Device opened"},
        {S_OK, L"Ger\x00e4t \x0444", true, L"Ger\x00e4t \x0444"},  // as given, not through a code page
        {S_OK, nullptr, false, L"unchanged"},
        {S_FALSE, L"", true, L""},
        {E_FAIL, L"ignored", false, L"unchanged"},
    };
    for (const Case& c : cases) {
        FixedProvider provider(c.result, c.text);
        ProviderList list;
        ProviderListInit(&list);
        ProviderNode* node = new ProviderNode{{}, 1, 20, &provider};
        ListPushBack(&list.nodes, &node->link);
        ++list.nodes.count;
        ProviderTexts texts(&list);
        std::wstring text = L"unchanged";
        EXPECT_EQ(texts.Text(1, nullptr, 0, &text), c.known) << std::hex << c.result;
        EXPECT_EQ(text, c.given);
        ListRemove(&list.nodes, &node->link);
        delete node;
    }
}

}  // namespace
