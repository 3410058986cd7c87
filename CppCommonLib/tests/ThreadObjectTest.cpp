#include <gtest/gtest.h>

#include <atomic>

#include "ThreadObject.h"

namespace {
class Worker : public CThreadObject {
  public:
    ~Worker() override { Stop(1000); }
    std::atomic<int> runs{0};

  protected:
    void Run() override {
        ++runs;
        StopEvent().Wait();  // runs until asked to stop
    }
};
}  // namespace

TEST(ThreadObjectTest, StartRunsOnceUntilStopped) {
    Worker worker;
    ASSERT_TRUE(worker.Start());
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(worker.Start());  // already running
    EXPECT_TRUE(worker.Stop(1000));
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.runs.load(), 1);
}

TEST(ThreadObjectTest, CanBeStartedAgainAfterStop) {
    Worker worker;
    ASSERT_TRUE(worker.Start());
    worker.Stop(1000);
    ASSERT_TRUE(worker.Start());
    worker.Stop(1000);
    EXPECT_EQ(worker.runs.load(), 2);
}
