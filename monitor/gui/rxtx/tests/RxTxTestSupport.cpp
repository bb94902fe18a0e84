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
