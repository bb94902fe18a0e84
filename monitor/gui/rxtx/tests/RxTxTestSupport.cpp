#include "RxTxTestSupport.h"

#include <objbase.h>

#include <gtest/gtest.h>

namespace {

std::vector<std::string>& HelpTopics()
{
    static std::vector<std::string> topics;
    return topics;
}

}  // namespace

UINT MainIconId = 1032;

void OpenHelpTopic(const char* topic)
{
    HelpTopics().push_back(topic);
}

const std::vector<std::string>& HelpTopicsAsked()
{
    return HelpTopics();
}

CWinApp& TestApp()
{
    static CWinApp app("RX/TX Test");
    return app;
}

void PumpPending()
{
    // Bounded: while data flow, the queue is never empty for long.
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
        if (!TestApp().PumpMessage())
            break;
    TestApp().OnIdle(0);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

void RxTxTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    HelpTopics().clear();
    CoreTest::SetUp();
}

void RxTxTest::TearDown()
{
    PumpPending();
    CoreTest::TearDown();
    CoUninitialize();
}

MessageBoxRecord::MessageBoxRecord()
    : previous_(SetMessageBoxAnswer([this](HWND, const std::string& text, const std::string&, UINT type) {
          texts.push_back(text);
          types.push_back(type);
          return IDOK;
      }))
{
}

MessageBoxRecord::~MessageBoxRecord()
{
    SetMessageBoxAnswer(std::move(previous_));
}

ModalDriverScope::ModalDriverScope(ModalDriver driver) : previous_(SetModalDriver(std::move(driver))) {}

ModalDriverScope::~ModalDriverScope()
{
    SetModalDriver(std::move(previous_));
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    PrepareApplication(TestApp(), GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
    return RUN_ALL_TESTS();
}
