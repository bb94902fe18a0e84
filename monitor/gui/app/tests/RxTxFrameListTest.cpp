// The list of open RX/TX windows: frames join it at the tail, leave it when
// their window goes or they are deleted, and the application's exit destroys
// the windows of those still listed and deletes the rest.
#include "AppTesting.h"

#include <gtest/gtest.h>

namespace {

using CountedFrame = CountedRxTxFrame;

TEST(RxTxFrameList, FramesLeaveWhenTheirWindowGoesAndTheExitTakesTheRest)
{
    int deleted = 0;
    RxTxFrameList list;
    auto* a = new CountedFrame(&deleted);
    auto* b = new CountedFrame(&deleted);
    auto* c = new CountedFrame(&deleted);
    auto* windowless = new CountedFrame(&deleted);
    ASSERT_TRUE(a->Open() && b->Open() && c->Open());
    for (CRxTxFrameBase* frame : {static_cast<CRxTxFrameBase*>(a), static_cast<CRxTxFrameBase*>(b),
                                  static_cast<CRxTxFrameBase*>(c), static_cast<CRxTxFrameBase*>(windowless)})
        list.Add(frame);
    list.Add(b);  // already listed: stays where it is
    EXPECT_EQ(list.Count(), 4u);
    EXPECT_EQ(list.First(), a);
    EXPECT_EQ(CRxTxFrameBase::FromListLink(&b->m_listLink), b);

    // Closed by the user: it unlinks itself and goes.
    b->DestroyWindow();
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(a->m_listLink.next, &c->m_listLink);
    EXPECT_EQ(c->m_listLink.prev, &a->m_listLink);

    // The exit: every window goes, each frame with its own; the frame without a window stays.
    list.DestroyAllWindows();
    EXPECT_EQ(deleted, 3);
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.First(), windowless);

    list.DeleteAll();
    EXPECT_EQ(deleted, 4);
    EXPECT_EQ(list.First(), nullptr);
}

TEST(RxTxFrameList, AFrameDeletedWhileListedLeavesNoLinkBehind)
{
    int deleted = 0;
    {
        RxTxFrameList list;
        auto* first = new CountedFrame(&deleted);
        auto* second = new CountedFrame(&deleted);
        list.Add(first);
        list.Add(second);
        delete first;
        EXPECT_EQ(list.Count(), 1u);
        EXPECT_EQ(list.First(), second);
    }
    EXPECT_EQ(deleted, 2) << "the list's destruction deletes what it still holds";
}

}  // namespace
