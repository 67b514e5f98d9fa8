#include "recorder/shutdown_path.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

namespace recorder {
namespace {

TEST(ShutdownPathTest, StopsEveryHookedWorkerNewestFirstAndOnlyOnce) {
  ShutdownPath path;
  std::vector<std::string> order;
  auto a = path.Add("download", [&] { order.push_back("download"); });
  auto b = path.Add("live", [&] { order.push_back("live"); });
  auto c = path.Add("drawing", [&] { order.push_back("drawing"); });
  EXPECT_EQ(path.Hooked(), (std::vector<std::string>{"download", "live", "drawing"}));
  EXPECT_EQ(path.StopAll(), 3);
  EXPECT_EQ(order, (std::vector<std::string>{"drawing", "live", "download"}));
  EXPECT_TRUE(path.Hooked().empty());
  EXPECT_EQ(path.StopAll(), 0);
  EXPECT_EQ(order.size(), 3u);
}

TEST(ShutdownPathTest, AWorkerThatEndedOnItsOwnIsNotStoppedAgain) {
  ShutdownPath path;
  int stopped = 0;
  {
    auto finished = path.Add("finished", [&] { ++stopped; });
  }
  auto released = path.Add("released", [&] { ++stopped; });
  released.Release();
  EXPECT_FALSE(released.Active());
  std::optional<ShutdownPath::Hook> moved;
  {
    auto running = path.Add("running", [&] { stopped += 10; });
    moved.emplace(std::move(running));
    EXPECT_FALSE(running.Active());
  }
  EXPECT_EQ(path.StopAll(), 1);
  EXPECT_EQ(stopped, 10);
}

TEST(ShutdownPathTest, AStopperMayDropItsOwnHookAndHookAnother) {
  ShutdownPath path;
  std::optional<ShutdownPath::Hook> self;
  std::optional<ShutdownPath::Hook> later;
  bool laterRan = false;
  self.emplace(path.Add("first", [&] {
    self.reset();
    later.emplace(path.Add("started by the first's end", [&] { laterRan = true; }));
  }));
  EXPECT_EQ(path.StopAll(), 2);
  EXPECT_TRUE(laterRan);
}

TEST(ShutdownPathTest, AStopperEndsARealThreadBeforeStopAllReturns) {
  ShutdownPath path;
  std::atomic<bool> fileClosed{false};
  std::jthread worker([&](std::stop_token stop) {
    while (!stop.stop_requested()) std::this_thread::yield();
    fileClosed = true;
  });
  auto hook = path.Add("worker", [&] {
    worker.request_stop();
    worker.join();
  });
  path.StopAll();
  EXPECT_TRUE(fileClosed);
  EXPECT_FALSE(worker.joinable());
}

}  // namespace
}  // namespace recorder
