#include <gtest/gtest.h>

#include "rtl/Application.h"

using namespace rtl;

TEST(ApplicationTest, QuitMessageEndsProcessingAndSetsTerminated)
{
    StartRuntime();
    StartRuntime();  // nested start-up keeps the one object
    TApplication* app = Application();
    ASSERT_NE(app, nullptr);
    StopRuntime();
    EXPECT_EQ(Application(), app);

    EXPECT_FALSE(app->Terminated());
    app->Terminate();
    app->ProcessMessages();
    EXPECT_TRUE(app->Terminated());
    app->SetTerminated(false);
    StopRuntime();
    EXPECT_EQ(Application(), nullptr);
}
