#include <gtest/gtest.h>

#include <thread>

#include "Event.h"

using ccm_util::CEvent;

TEST(EventTest, ManualResetStaysSignalledAutoResetReleasesOnce) {
    CEvent manual(true);
    CEvent automatic(false);
    EXPECT_FALSE(manual.Wait(0));
    EXPECT_FALSE(automatic.Wait(0));
    manual.Set();
    automatic.Set();
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(automatic.Wait(0));
    EXPECT_FALSE(automatic.Wait(0));
    manual.Reset();
    EXPECT_FALSE(manual.Wait(10));
}

TEST(EventTest, WaitWakesWhenAnotherThreadSets) {
    CEvent event(false);
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.Wait(CEvent::kInfinite));
    setter.join();
}
