#include "platform/ui/synchronize.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/qt/ui_test_script.h"

namespace platform::ui {
namespace {

TEST(SynchronizeTest, WorkerCallsRunOnTheGuiThreadWhileItJoins) {
  // The GUI thread joins the worker while the worker is still synchronizing: without serving the
  // calls during the join the two would wait for each other for ever.
  int counter = 0;  // touched only on the GUI thread
  bool allOnGui = true;
  std::jthread worker([&] {
    for (int i = 0; i < 200; ++i) {
      Synchronize([&] {
        allOnGui = allOnGui && IsGuiThread();
        ++counter;
      });
    }
  });
  JoinServing(worker);
  EXPECT_FALSE(worker.joinable());
  EXPECT_EQ(counter, 200);
  EXPECT_TRUE(allOnGui);
}

TEST(SynchronizeTest, OnTheGuiThreadRunsAtOnceAndErrorsReachTheCaller) {
  bool ran = false;
  Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);

  std::string error;
  std::jthread worker([&] {
    try {
      Synchronize([] { throw std::runtime_error("нет памяти"); });
    } catch (const std::runtime_error& e) {
      error = e.what();
    }
  });
  JoinServing(worker);
  EXPECT_EQ(error, "нет памяти");
}

TEST(SynchronizeTest, PostedCallsRunLaterInOrder) {
  std::vector<int> order;
  PostToGui([&] { order.push_back(-1); });
  EXPECT_TRUE(order.empty());  // queued, even on the GUI thread
  EXPECT_EQ(ServeQueuedCalls(), 1);

  std::jthread worker([&] {
    for (int i = 0; i < 50; ++i) PostToGui([&order, i] { order.push_back(i); });
  });
  WaitServing([&] { return order.size() == 51; });
  ASSERT_EQ(order.size(), 51u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i + 1], i);
}

TEST(SynchronizeTest, WaitEndsWhenAWorkerNotifies) {
  std::atomic<bool> ready{false};
  std::jthread worker([&] {
    ready = true;
    NotifyGuiWaiters();
  });
  WaitServing([&] { return ready.load(); });
  EXPECT_TRUE(ready);
}

TEST(SynchronizeTest, EventLoopServesCallsToo) {
  // A GUI thread inside a modal loop serves the calls through its events.
  QEventLoop loop;
  int served = 0;
  std::jthread worker([&] {
    Synchronize([&] { ++served; });
    PostToGui([&] { loop.quit(); });
  });
  loop.exec();
  EXPECT_EQ(served, 1);
}

TEST(SynchronizeTest, ABurstOfWorkerPostsIsServedWholeByTheEventLoop) {
  // Many posts may share one wake-up of the event loop; every one of them still runs, in order.
  QEventLoop loop;
  std::vector<int> order;
  std::jthread worker([&] {
    for (int i = 0; i < 1000; ++i)
      PostToGui([&, i] {
        order.push_back(i);
        if (order.size() == 1000) loop.quit();
      });
  });
  loop.exec();
  ASSERT_EQ(order.size(), 1000u);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(order[i], i);
}

TEST(SynchronizeTest, FailingPostedCallIsReported) {
  PostToGui([] { throw std::runtime_error("сбой"); });
  ServeQueuedCalls();
  const auto failures = support::Ui().TakeFailures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("сбой"), std::string::npos);
}

}  // namespace
}  // namespace platform::ui
