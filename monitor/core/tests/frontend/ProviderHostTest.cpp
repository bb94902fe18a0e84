// The message-provider host against the real standard provider and classes of
// our own test provider: load order, ini parsing, range dispatch, release.
#include "frontend/MessageProviderHost.h"
#include "runtime/TrackedBlock.h"
#include "support/CoreTestFixture.h"
#include "TestProviderClass.h"

#include <string>
#include <utility>
#include <vector>

using namespace provider_host_test;

namespace {

constexpr HRESULT kNotServed = static_cast<HRESULT>(0x80070002);

struct Formatted {
    HRESULT result;
    bool hasText;
    std::wstring text;
    QUEL_MESSAGE_TYPE severity;
};

}  // namespace

class ProviderHostTest : public CoreTest {
protected:
    static void SetUpTestSuite() { quelstdRegistered_ = Regsvr32(L"/s", QuelstdPath()) == 0; }
    static void TearDownTestSuite() { Regsvr32(L"/u /s", QuelstdPath()); }
    static std::wstring QuelstdPath() { return BesideProgram(L"quelstd.dll"); }

    void SetUp() override
    {
        CoreTest::SetUp();
        ProviderListInit(&list_);
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        comInitialised_ = true;
        ASSERT_TRUE(quelstdRegistered_) << "regsvr32 quelstd.dll failed";
        ASSERT_TRUE(module_.loaded()) << "core_test_provider.dll not found";
    }

    void TearDown() override
    {
        ProviderListDestroy(&list_);
        if (comInitialised_)
            CoUninitialize();
        CoreTest::TearDown();
    }

    std::vector<std::pair<long, long>> Ranges() const
    {
        std::vector<std::pair<long, long>> ranges;
        for (const ListNode* link = list_.nodes.first; link != reinterpret_cast<const ListNode*>(&list_.nodes);
             link = link->next) {
            auto* node = reinterpret_cast<const ProviderNode*>(link);
            ranges.emplace_back(node->lowestCode, node->highestCode);
        }
        return ranges;
    }

    Formatted Format(long code, const void* data = nullptr, long size = 0)
    {
        Formatted out = {};
        out.severity = static_cast<QUEL_MESSAGE_TYPE>(-1);
        BSTR text = nullptr;
        out.result = FormatWithProviders(&list_, code, data, size, &out.severity, &text);
        out.hasText = text != nullptr;
        if (text != nullptr)
            out.text = text;
        SysFreeString(text);
        return out;
    }

    static bool quelstdRegistered_;
    bool comInitialised_ = false;
    ProviderList list_;
    TestProviderModule module_;
};

bool ProviderHostTest::quelstdRegistered_ = false;

TEST_F(ProviderHostTest, LoadsTheStandardProviderFirstThenTheIniProvidersInKeyOrder)
{
    ScopedProviderClass a("A", {100, 200});
    ScopedProviderClass b("B", {300, 400});
    ASSERT_TRUE(a.registered() && b.registered());
    ScopedIniFile ini("[message_providers]\r\nprovider1=" + a.progId() + "\r\nprovider2=" + b.progId() + "\r\n");

    EXPECT_EQ(LoadMessageProviders(&list_, ini.path().c_str()), 3u);
    EXPECT_EQ(list_.nodes.count, 3u);
    const std::vector<std::pair<long, long>> expected = {{1, 14}, {100, 200}, {300, 400}};
    EXPECT_EQ(Ranges(), expected);
    EXPECT_EQ(module_.liveObjects(), 2);

    // Loading again starts from an empty list.
    EXPECT_EQ(LoadMessageProviders(&list_, ini.path().c_str()), 3u);
    EXPECT_EQ(Ranges(), expected);
    EXPECT_EQ(module_.liveObjects(), 2);

    EXPECT_EQ(LoadMessageProviders(&list_, nullptr), 1u);
    EXPECT_EQ(Ranges(), (std::vector<std::pair<long, long>>{{1, 14}}));
    EXPECT_EQ(module_.liveObjects(), 0);
}

TEST_F(ProviderHostTest, IniLoadingStopsAtTheFirstEmptyKeyOrFailingProvider)
{
    ScopedProviderClass a("A", {100, 200});
    ScopedProviderClass b("B", {300, 400});
    ScopedProviderClass noRange("NoRange", {500, 600, E_UNEXPECTED});
    ASSERT_TRUE(a.registered() && b.registered() && noRange.registered());
    const std::string section = "[message_providers]\r\n";
    const std::string keyA = a.progId(), keyB = b.progId();

    struct Case {
        const char* label;
        std::string ini;
        uint32_t count;
        LONG liveTestProviders;
    } cases[] = {
        {"both keys", section + "provider1=" + keyA + "\r\nprovider2=" + keyB + "\r\n", 3, 2},
        {"provider2 missing: provider3 not read", section + "provider1=" + keyA + "\r\nprovider3=" + keyB + "\r\n",
         2, 1},
        {"empty provider2 ends the list", section + "provider1=" + keyA + "\r\nprovider2=\r\nprovider3=" + keyB + "\r\n",
         2, 1},
        {"unknown ProgID: nothing after it tried",
         section + "provider1=QuelCoreTest.NotRegistered\r\nprovider2=" + keyA + "\r\n", 1, 0},
        {"failing range: earlier kept, later not tried",
         section + "provider1=" + keyA + "\r\nprovider2=" + noRange.progId() + "\r\nprovider3=" + keyB + "\r\n", 2, 1},
        {"numbering starts at 1", section + "provider0=" + keyA + "\r\nprovider2=" + keyB + "\r\n", 1, 0},
        {"other sections ignored", "[providers]\r\nprovider1=" + keyA + "\r\n", 1, 0},
        {"empty file", "", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScopedIniFile ini(c.ini);
        EXPECT_EQ(LoadMessageProviders(&list_, ini.path().c_str()), c.count);
        EXPECT_EQ(list_.nodes.count, c.count);
        EXPECT_EQ(module_.liveObjects(), c.liveTestProviders);
        ReleaseAllProviders(&list_);
        EXPECT_EQ(module_.liveObjects(), 0);
    }
}

TEST_F(ProviderHostTest, IniFileNamesAreResolvedAgainstTheCurrentDirectory)
{
    ScopedProviderClass a("A", {100, 200});
    ASSERT_TRUE(a.registered());
    ScopedIniFile ini("[message_providers]\r\nprovider1=" + a.progId() + "\r\n");

    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(ini.directory().c_str()));
    uint32_t relative = LoadMessageProviders(&list_, "quel.ini");
    uint32_t missing = LoadMessageProviders(&list_, "no-such.ini");
    SetCurrentDirectoryA(previous);

    EXPECT_EQ(relative, 2u);
    EXPECT_EQ(missing, 1u);
}

TEST_F(ProviderHostTest, WithoutTheStandardProviderNothingIsLoaded)
{
    ScopedProviderClass a("A", {100, 200});
    ASSERT_TRUE(a.registered());
    ScopedIniFile ini("[message_providers]\r\nprovider1=" + a.progId() + "\r\n");
    ASSERT_EQ(Regsvr32(L"/u /s", QuelstdPath()), 0u);

    EXPECT_EQ(LoadMessageProviders(&list_, ini.path().c_str()), 0u);
    EXPECT_TRUE(ListIsEmpty(&list_.nodes));
    EXPECT_EQ(module_.liveObjects(), 0);
    EXPECT_EQ(Format(2).result, kNotServed);
    EXPECT_EQ(Format(150).result, kNotServed);

    ASSERT_EQ(Regsvr32(L"/s", QuelstdPath()), 0u);
}

TEST_F(ProviderHostTest, EachCodeGoesToTheFirstProviderWhoseRangeHoldsIt)
{
    ScopedProviderClass a("A", {100, 200});
    ScopedProviderClass b("B", {150, 300});
    ASSERT_TRUE(a.registered() && b.registered());
    ScopedIniFile ini("[message_providers]\r\nprovider1=" + a.progId() + "\r\nprovider2=" + b.progId() + "\r\n");
    ASSERT_EQ(LoadMessageProviders(&list_, ini.path().c_str()), 3u);

    const char payload[] = {'x', 'y', 'z'};
    struct Case {
        long code;
        HRESULT result;
        const wchar_t* text;  // NULL: no text
        LONG testProviderCalls;
    } cases[] = {
        {2, S_OK, L"Device closed", 0},
        {100, S_OK, L"A:100:3", 1},
        {150, S_OK, L"A:150:3", 1},  // both ranges hold it: the earlier provider
        {200, S_OK, L"A:200:3", 1},
        {201, S_OK, L"B:201:3", 1},
        {300, S_OK, L"B:300:3", 1},
        {9, kNotServed, nullptr, 0},  // the standard range holds 9, its map does not
        {99, kNotServed, nullptr, 0},
        {301, kNotServed, nullptr, 0},
        {0, kNotServed, nullptr, 0},
        {-1, kNotServed, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        LONG callsBefore = module_.messageCalls();
        Formatted out = Format(c.code, payload, sizeof(payload));
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.hasText, c.text != nullptr);
        if (c.text != nullptr) {
            EXPECT_EQ(out.text, c.text);
        }
        EXPECT_EQ(module_.messageCalls() - callsBefore, c.testProviderCalls);
        if (c.code >= 100 && c.result == S_OK) {
            EXPECT_EQ(out.severity, QUEL_MSG_WARNING);
        }
    }
}

TEST_F(ProviderHostTest, AFailingProviderIsNotFollowedByTheNextOne)
{
    ScopedProviderClass failing("Failing", {100, 200, S_OK, E_FAIL});
    ScopedProviderClass good("Good", {100, 200});
    ASSERT_TRUE(failing.registered() && good.registered());
    ASSERT_EQ(CreateMessageProvider(&list_, failing.progId().c_str()), S_OK);
    ASSERT_EQ(CreateMessageProvider(&list_, good.progId().c_str()), S_OK);

    LONG callsBefore = module_.messageCalls();
    Formatted out = Format(150);
    EXPECT_EQ(out.result, E_FAIL);
    EXPECT_FALSE(out.hasText);
    EXPECT_EQ(out.severity, static_cast<QUEL_MESSAGE_TYPE>(-1));
    EXPECT_EQ(module_.messageCalls() - callsBefore, 1);
}

TEST_F(ProviderHostTest, ReleaseAllProvidersReleasesEveryProvider)
{
    ScopedProviderClass a("A", {100, 200});
    ScopedProviderClass b("B", {300, 400});
    ScopedProviderClass c("C", {500, 600});
    ASSERT_TRUE(a.registered() && b.registered() && c.registered());
    for (const ScopedProviderClass* provider : {&a, &b, &c})
        ASSERT_EQ(CreateMessageProvider(&list_, provider->progId().c_str()), S_OK);
    EXPECT_EQ(Ranges(), (std::vector<std::pair<long, long>>{{100, 200}, {300, 400}, {500, 600}}));
    EXPECT_EQ(module_.liveObjects(), 3);

    ReleaseAllProviders(&list_);
    EXPECT_EQ(module_.liveObjects(), 0);
    EXPECT_TRUE(ListIsEmpty(&list_.nodes));
    EXPECT_EQ(list_.nodes.count, 0u);
    EXPECT_EQ(Format(150).result, kNotServed);

    // The emptied list is usable again, and its destructor releases the same way.
    ASSERT_EQ(CreateMessageProvider(&list_, b.progId().c_str()), S_OK);
    EXPECT_EQ(Format(350).text, L"B:350:0");
    ProviderListDestroy(&list_);
    EXPECT_EQ(module_.liveObjects(), 0);
    EXPECT_EQ(list_.nodes.count, 0u);
}

TEST_F(ProviderHostTest, AFailedCreationAddsNoNodeAndKeepsNoReference)
{
    ScopedProviderClass noRange("NoRange", {100, 200, E_UNEXPECTED});
    ScopedProviderClass good("Good", {100, 200});
    ASSERT_TRUE(noRange.registered() && good.registered());

    EXPECT_EQ(CreateMessageProvider(&list_, "QuelCoreTest.NotRegistered"), CO_E_CLASSSTRING);
    EXPECT_EQ(CreateMessageProvider(&list_, noRange.progId().c_str()), E_UNEXPECTED);
    BlockAllocFailAfter(0);
    EXPECT_EQ(CreateMessageProvider(&list_, good.progId().c_str()), E_OUTOFMEMORY);
    BlockAllocFailAfter(-1);

    EXPECT_TRUE(ListIsEmpty(&list_.nodes));
    EXPECT_EQ(list_.nodes.count, 0u);
    EXPECT_EQ(module_.liveObjects(), 0);
}
