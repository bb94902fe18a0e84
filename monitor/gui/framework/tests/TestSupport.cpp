#include "TestSupport.h"

void DemoAppTest::SetUp()
{
    PrepareApplication(app, GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
    ASSERT_TRUE(app.InitInstance());
    frame = app.MainFrame();
    ASSERT_NE(frame, nullptr);
    frame->MoveWindow(CRect(0, 0, 640, 480));
    PumpPending();
}

void DemoAppTest::TearDown()
{
    app.ExitInstance();
    PumpPending();  // takes the quit message the main window left
    EXPECT_EQ(CDemoFrame::LiveCount(), 0);
}

void DemoAppTest::Command(UINT id)
{
    frame->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

std::string DemoAppTest::PaneText(int index) const
{
    return frame->m_statusBar.GetPaneText(index);
}
