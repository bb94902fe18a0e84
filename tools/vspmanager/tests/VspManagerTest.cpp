// The stand-in manager as the port chooser reaches it: registered with
// regsvr32, created by ProgID, called through raw vtable slots.
#include "RuzuDeviceManager.h"
#include "VspManagerTesting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vspmanager_test;

namespace {

const wchar_t kClsid[] = L"{5FC953CB-007C-4C37-9F24-092BBFA85A75}";
const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClsid;

// Calls vtable slot `slot` of the interface at `object`, as a caller that
// knows the slots and not the header does.
template <class... Args>
HRESULT CallSlot(void* object, int slot, Args... args)
{
    using Method = HRESULT(STDMETHODCALLTYPE*)(void*, Args...);
    return (*static_cast<Method**>(object))[slot](object, args...);
}

ULONG ReleaseSlot(void* object)
{
    using Method = ULONG(STDMETHODCALLTYPE*)(void*);
    return (*static_cast<Method**>(object))[2](object);
}

std::wstring TakeBstr(BSTR text)
{
    std::wstring result = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"<null>";
    SysFreeString(text);
    return result;
}

// The chooser's creation: ProgID to class, then the class with its context
// and the manager's interface id.
HRESULT CreateManager(void** manager)
{
    *manager = nullptr;
    CLSID clsid = {};
    HRESULT hr = CLSIDFromProgID(RUZU_DEVICE_MANAGER_PROGID, &clsid);
    if (FAILED(hr))
        return hr;
    return CoCreateInstance(clsid, nullptr, RUZU_DEVICE_MANAGER_CLSCTX, IID_IRuzuDeviceManager, manager);
}

struct Entry {
    std::wstring text;
    HRESULT portResult;
    std::wstring port;  // empty when the lookup failed
};

bool operator==(const Entry& a, const Entry& b)
{
    return a.text == b.text && (a.portResult == S_OK) == (b.portResult == S_OK) && a.port == b.port;
}

void PrintTo(const Entry& e, std::ostream* os)
{
    *os << "{" << std::string(e.text.begin(), e.text.end()) << ", 0x" << std::hex << e.portResult << ", "
        << std::string(e.port.begin(), e.port.end()) << "}";
}

const HRESULT kFails = E_FAIL;

// Slot 7 once, the count from slot 8, each device from slot 9 (a null one
// ends the walk), its text from its slot 7 and its port from slot 11 with
// index 0, whose name is the port's slot 11.
std::vector<Entry> Walk(void* manager)
{
    std::vector<Entry> entries;
    CallSlot(manager, 7);
    long count = -1;
    EXPECT_EQ(CallSlot(manager, 8, &count), S_OK);
    for (long i = 0; i < count; ++i) {
        void* device = nullptr;
        CallSlot(manager, 9, i, &device);
        if (device == nullptr)
            break;
        BSTR text = nullptr;
        EXPECT_EQ(CallSlot(device, 7, &text), S_OK);
        Entry entry{TakeBstr(text), S_OK, L""};
        void* port = reinterpret_cast<void*>(1);
        entry.portResult = CallSlot(device, 11, 0L, &port);
        if (SUCCEEDED(entry.portResult)) {
            BSTR name = nullptr;
            EXPECT_EQ(CallSlot(port, 11, &name), S_OK);
            entry.port = TakeBstr(name);
            ReleaseSlot(port);
        } else {
            EXPECT_EQ(port, nullptr);
        }
        ReleaseSlot(device);
        entries.push_back(entry);
    }
    return entries;
}

class VspManagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(RegisterServer(L"/s"), 0u);
        ClearConfiguration();
    }
    static void TearDownTestSuite() { RegisterServer(L"/u /s"); }
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override
    {
        ReleaseManagers();
        CoUninitialize();
    }

    // A manager created as the chooser creates it, released with the test.
    void* Manager()
    {
        void* manager = nullptr;
        EXPECT_EQ(CreateManager(&manager), S_OK);
        if (manager != nullptr)
            created_.push_back(manager);
        return manager;
    }
    void ReleaseManagers()
    {
        for (void* manager : created_)
            ReleaseSlot(manager);
        created_.clear();
    }

private:
    std::vector<void*> created_;
};

}  // namespace

TEST_F(VspManagerTest, ServesTheDemoPortsByDefault)
{
    void* manager = Manager();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(Walk(manager), (std::vector<Entry>{{L"Virtual serial port COM1", S_OK, L"COM1"},
                                                 {L"Virtual serial port COM2", S_OK, L"COM2"}}));

    // Past the end there is no device, and a device has no second port.
    void* device = reinterpret_cast<void*>(1);
    EXPECT_TRUE(FAILED(CallSlot(manager, 9, 2L, &device)));
    EXPECT_EQ(device, nullptr);
    ASSERT_EQ(CallSlot(manager, 9, 0L, &device), S_OK);
    void* port = reinterpret_cast<void*>(1);
    EXPECT_TRUE(FAILED(CallSlot(device, 11, 1L, &port)));
    EXPECT_EQ(port, nullptr);

    // The header's methods are those slots.
    auto* typed = static_cast<IRuzuDeviceManager*>(manager);
    long count = 0;
    EXPECT_EQ(typed->GetCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    IRuzuDevice* same = nullptr;
    EXPECT_EQ(typed->GetDevice(0, &same), S_OK);
    EXPECT_EQ(static_cast<void*>(same), device);
    IRuzuPort* typedPort = nullptr;
    ASSERT_EQ(same->GetPort(0, &typedPort), S_OK);
    BSTR name = nullptr;
    EXPECT_EQ(typedPort->GetName(&name), S_OK);
    EXPECT_EQ(TakeBstr(name), L"COM1");
    typedPort->Release();
    same->Release();
    ReleaseSlot(device);
}

TEST_F(VspManagerTest, ServesTheConfiguredPortsInOrder)
{
    const struct {
        const char* name;
        Settings settings;
        std::vector<Entry> expected;
    } cases[] = {
        {"three ports, the middle one's lookup fails",
         {std::vector<std::wstring>{L"COM7", L"COM3", L"COM9"}, L"COM3", false},
         {{L"Virtual serial port COM7", S_OK, L"COM7"},
          {L"Virtual serial port COM3", kFails, L""},
          {L"Virtual serial port COM9", S_OK, L"COM9"}}},
        {"no devices", {std::vector<std::wstring>{}, L"", false}, {}},
        {"default ports, the second one's lookup fails",
         {std::nullopt, L"COM2", false},
         {{L"Virtual serial port COM1", S_OK, L"COM1"}, {L"Virtual serial port COM2", kFails, L""}}},
        {"devices freed on release",
         {std::vector<std::wstring>{L"COM4"}, L"", true},
         {{L"Virtual serial port COM4", S_OK, L"COM4"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedConfiguration configuration(c.settings);
        ASSERT_TRUE(configuration.applied());
        void* manager = Manager();
        ASSERT_NE(manager, nullptr);
        EXPECT_EQ(Walk(manager), c.expected);
        void* device = reinterpret_cast<void*>(1);
        CallSlot(manager, 9, static_cast<long>(c.expected.size()), &device);
        EXPECT_EQ(device, nullptr);
        ReleaseManagers();
    }
}

TEST_F(VspManagerTest, NameFaultsReplaceTheNameOfEveryDeviceOrPort)
{
    const struct {
        const wchar_t* fault;
        HRESULT result;
        const wchar_t* name;
    } cases[] = {{L"fail", kFails, L"<null>"}, {L"null", S_OK, L"<null>"}, {L"empty", S_OK, L""}};
    for (const auto& c : cases) {
        for (const bool onPort : {false, true}) {
            SCOPED_TRACE(std::string(onPort ? "port " : "device ") + std::string(c.fault, c.fault + wcslen(c.fault)));
            Settings settings{std::vector<std::wstring>{L"COM1"}, L"", false};
            (onPort ? settings.portNameFault : settings.deviceNameFault) = c.fault;
            ScopedConfiguration configuration(settings);
            ASSERT_TRUE(configuration.applied());
            void* manager = Manager();
            ASSERT_NE(manager, nullptr);
            void* device = nullptr;
            ASSERT_EQ(CallSlot(manager, 9, 0L, &device), S_OK);
            void* port = nullptr;
            ASSERT_EQ(CallSlot(device, 11, 0L, &port), S_OK);

            BSTR deviceName = reinterpret_cast<BSTR>(1);
            BSTR portName = reinterpret_cast<BSTR>(1);
            EXPECT_EQ(CallSlot(device, 7, &deviceName), onPort ? S_OK : c.result);
            EXPECT_EQ(CallSlot(port, 11, &portName), onPort ? c.result : S_OK);
            EXPECT_EQ(TakeBstr(deviceName), onPort ? L"Virtual serial port COM1" : c.name);
            EXPECT_EQ(TakeBstr(portName), onPort ? c.name : L"COM1");
            ReleaseSlot(port);
            ReleaseSlot(device);
            ReleaseManagers();
        }
    }
}

TEST_F(VspManagerTest, SlotSevenReadsTheConfigurationAgain)
{
    void* manager = Manager();
    ASSERT_NE(manager, nullptr);
    void* before = nullptr;
    ASSERT_EQ(CallSlot(manager, 9, 1L, &before), S_OK);

    ScopedConfiguration configuration({std::vector<std::wstring>{L"COM5"}, L"", false});
    ASSERT_TRUE(configuration.applied());
    long count = 0;
    EXPECT_EQ(CallSlot(manager, 8, &count), S_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(Walk(manager), (std::vector<Entry>{{L"Virtual serial port COM5", S_OK, L"COM5"}}));

    // A device taken before stays what it was.
    BSTR text = nullptr;
    EXPECT_EQ(CallSlot(before, 7, &text), S_OK);
    EXPECT_EQ(TakeBstr(text), L"Virtual serial port COM2");
    ReleaseSlot(before);
}

TEST_F(VspManagerTest, DevicesLiveWithTheManagerOrOnlyWithTheirReferences)
{
    ASSERT_EQ(LiveDevices(), 0);

    // By default the manager keeps its devices until it goes itself.
    void* manager = Manager();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(LiveDevices(), 2);
    void* device = nullptr;
    ASSERT_EQ(CallSlot(manager, 9, 0L, &device), S_OK);
    ReleaseSlot(device);
    EXPECT_EQ(LiveDevices(), 2);
    ASSERT_EQ(CallSlot(manager, 9, 0L, &device), S_OK);
    ReleaseManagers();
    EXPECT_EQ(LiveDevices(), 1);
    EXPECT_EQ(ServerCanUnloadNow(), S_FALSE);
    BSTR text = nullptr;
    EXPECT_EQ(CallSlot(device, 7, &text), S_OK);
    EXPECT_EQ(TakeBstr(text), L"Virtual serial port COM1");
    ReleaseSlot(device);
    EXPECT_EQ(LiveDevices(), 0);
    EXPECT_EQ(ServerCanUnloadNow(), S_OK);

    // Freed on release, each device is its own object and goes with its last
    // reference, its memory no longer readable.
    ScopedConfiguration configuration({std::nullopt, L"", true});
    ASSERT_TRUE(configuration.applied());
    manager = Manager();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(LiveDevices(), 0);
    void* first = nullptr;
    void* again = nullptr;
    ASSERT_EQ(CallSlot(manager, 9, 0L, &first), S_OK);
    ASSERT_EQ(CallSlot(manager, 9, 0L, &again), S_OK);
    EXPECT_NE(first, again);
    EXPECT_EQ(LiveDevices(), 2);
    ReleaseSlot(again);
    EXPECT_EQ(LiveDevices(), 1);
    MEMORY_BASIC_INFORMATION memory = {};
    ASSERT_NE(VirtualQuery(again, &memory, sizeof(memory)), 0u);
    EXPECT_NE(memory.State, static_cast<DWORD>(MEM_COMMIT));
    // The survivor still answers, with or without its manager.
    ReleaseManagers();
    EXPECT_EQ(CallSlot(first, 7, &text), S_OK);
    EXPECT_EQ(TakeBstr(text), L"Virtual serial port COM1");
    ReleaseSlot(first);
    EXPECT_EQ(LiveDevices(), 0);
}

TEST_F(VspManagerTest, RegistrationWritesTheClassAndUnregistrationRemovesIt)
{
    EXPECT_EQ(quelstd_test::ClassesString(RUZU_DEVICE_MANAGER_PROGID), L"Ruzu device manager (stand-in)");
    EXPECT_EQ(quelstd_test::ClassesString(std::wstring(RUZU_DEVICE_MANAGER_PROGID) + L"\\CLSID"), kClsid);
    EXPECT_EQ(quelstd_test::ClassesString(kClassKey + L"\\ProgID"), RUZU_DEVICE_MANAGER_PROGID);
    EXPECT_EQ(lstrcmpiW(quelstd_test::ClassesString(kClassKey + L"\\InprocServer32").c_str(), ServerPath().c_str()), 0);
    EXPECT_EQ(quelstd_test::ClassesString(kClassKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");

    {
        // Registering again keeps the configuration; unregistering takes it along.
        ScopedConfiguration configuration({std::vector<std::wstring>{L"COM8"}, L"", false});
        ASSERT_TRUE(configuration.applied());
        ASSERT_EQ(RegisterServer(L"/s"), 0u);
        void* manager = Manager();
        ASSERT_NE(manager, nullptr);
        EXPECT_EQ(Walk(manager), (std::vector<Entry>{{L"Virtual serial port COM8", S_OK, L"COM8"}}));
        ReleaseManagers();
        CoFreeUnusedLibraries();

        ASSERT_EQ(RegisterServer(L"/u /s"), 0u);
        EXPECT_FALSE(quelstd_test::ClassesKeyExists(RUZU_DEVICE_MANAGER_PROGID));
        EXPECT_FALSE(quelstd_test::ClassesKeyExists(kClassKey));
        EXPECT_TRUE(quelstd_test::ClassesKeyExists(L"CLSID"));
        void* none = reinterpret_cast<void*>(1);
        EXPECT_TRUE(FAILED(CreateManager(&none)));
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(RegisterServer(L"/u /s"), 0u);
    }

    ASSERT_EQ(RegisterServer(L"/s"), 0u);
    void* manager = Manager();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(Walk(manager).size(), 2u);
}
