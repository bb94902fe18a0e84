#include "runtime/Platform.h"
#include <gtest/gtest.h>

namespace {

// The testing answer steers both questions, so the front ends' choice of
// endpoint follows it like the IPv4 transport does.
TEST(Platform, OneQueryAnswersBothQuestionsAndFollowsTheTestingAnswer)
{
    const struct {
        int answer;
        bool nt;
    } cases[] = {{1, false}, {0, true}, {-1, true}};  // -1: the system's own answer; Wine reports NT
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        SetNotNtPlatformForTesting(c.answer);
        EXPECT_EQ(IsNtPlatform(), c.nt);
        EXPECT_EQ(IsNotNtPlatform(), !c.nt);
    }
    SetNotNtPlatformForTesting(-1);
}

}  // namespace
