#include "acquisition/live_sweep.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "acquisition/live_shared.h"

namespace acquisition {
namespace {

TEST(LiveSweep, ValuesLandInTheirRowAndScalesStayInBounds) {
  EXPECT_EQ(SweepY(1280, 100, 0, 128, 0, 399), 90);
  EXPECT_EQ(SweepY(-1280, 100, 0, 128, 0, 399), 110);
  EXPECT_EQ(SweepY(2000, 100, 2000, 128, 0, 399), 100);         // the offset is the zero line
  EXPECT_EQ(SweepY(8'388'607, 100, -8'388'608, 1, 0, 399), 0);  // clamped, no overflow
  EXPECT_EQ(SweepY(-8'388'608, 100, 8'388'607, 1, 0, 399), 399);
  EXPECT_EQ(SweepY(50, 100, 0, 0, 0, 399), 50);  // a scale of 0 counts as 1
  EXPECT_EQ(HalveScale(1), 1);
  EXPECT_EQ(HalveScale(3), 1);
  EXPECT_EQ(DoubleScale(65536), 65536);
  EXPECT_EQ(DoubleScale(128), 256);
  const ChannelScale a = AutoScaleOf({3000, -1000}, 100);
  EXPECT_EQ(a.Offset, 1000);
  EXPECT_EQ(a.Scale, 40);
  EXPECT_EQ(AutoScaleOf({5, 5}, 100).Scale, 1);
  EXPECT_EQ(AutoScaleOf({5, 5}, 0).Scale, 1);
  EXPECT_EQ(AutoScaleOf(Extreme{}, 100).Scale, 1);  // nothing collected: no negative scale
}

TEST(LiveSweep, BatchColumnsAroundTheRing) {
  // Two channels: 20,000 values, 5,000 columns of 4.
  EXPECT_EQ(ColumnsBetween(0, 40, 20'000, 4), 10);
  EXPECT_EQ(ColumnsBetween(19'996, 8, 20'000, 4), 3);
  EXPECT_EQ(ColumnsBetween(100, 100, 20'000, 4), 0);
  EXPECT_EQ(ColumnsBetween(0, 40, 20'000, 0), 0);
  EXPECT_EQ(ColumnSamplesStep(19), 1);
  EXPECT_EQ(ColumnSamplesStep(20), 5);
  EXPECT_EQ(ColumnSamplesStep(40), 10);
  EXPECT_EQ(SmoothPointsStep(39), 1);
  EXPECT_EQ(SmoothPointsStep(40), 5);
}

TEST(LiveSweep, CaptionsAndPanels) {
  EXPECT_EQ(RawCaption(5, 400, 0.01), "Масштаб: 1/5 (20.0сек); Графики сигналов с линии.");
  EXPECT_EQ(SmoothedCaption(5, 400, 0.01, 30, false, false),
            "Масштаб: 1 / 5 (20.0 сек);  Cигналы сглажены с пост. вр. 0.300сек (30т.)");
  EXPECT_EQ(SmoothedCaption(5, 400, 0.01, 30, true, true),
            "Масштаб: 1/5; Cигналы сглажены c Т=0.300сек, 30)");
  EXPECT_EQ(SmoothedCaption(5, 400, 0.01, 30, true, false), "Масштаб: 1/5; Cигналы сглажены c Т=0.300сек)");

  recorder::StatusBlock st{};
  st.TikInSek = 1023;
  st.Cap_Time = 100'000'000;
  st.Time = 100'000'001;
  st.Cap_Tik = 512 * 65536;  // half a second of ticks
  st.Cap_GPS_o = 1000;
  const int64_t block = 2'525'126'400 + 86400;  // 07.01.80 00:00:00
  EXPECT_EQ(TimePanelText(0, st, block, 640).Text, "07.01.80 00:00:00 / -500000мк ");
  const TimePanel corr = TimePanelText(1, st, block, 640);
  EXPECT_EQ(corr.Text, "корр. 08.03.83 09:46:40 / -33554432 т");
  EXPECT_FALSE(corr.DarkRed);
  EXPECT_EQ(TimePanelText(2, st, block, 640).Text, "-33554432т / 10 мин ");
  const TimePanel sync = TimePanelText(3, st, block, 640);
  EXPECT_EQ(sync.Text, "синхр. 06.01.80 00:16:40");
  EXPECT_TRUE(sync.DarkRed);
  st.Cap_Time = 5;  // no capture: no difference
  EXPECT_EQ(TimePanelText(2, st, block, 640).Text, "0т / 10 мин ");
  EXPECT_NE(std::string(TimePanelHint(1)), TimePanelHint(2));

  recorder::YSTANOV s{};
  s.FileMinutes = 20;
  s.SampleRate = 250;
  s.K_yc[0] = 1;
  s.K_yc[2] = 16;
  EXPECT_EQ(SizeText(s, recorder::ChannelsFromMask(0x05)), "файл (минут) 20;  250 Гц;  Kyc =  1 16 ");
}

TEST(LiveShared, HandshakeHandsOverTheNewestColumnAndStopCannotBeWipedOut) {
  LiveShared shared(2);
  EXPECT_EQ(shared.RingSize(), 20'000);
  EXPECT_EQ(shared.WriteIndex(), kNothingNew);
  shared.Publish(4);
  shared.Publish(8);  // the newest wins
  EXPECT_EQ(shared.Take({}), 8);
  EXPECT_EQ(shared.WriteIndex(), kNothingNew);
  // A waiting drawing wakes when a column comes, then when the stop comes.
  std::atomic<int32_t> got{-100};
  std::jthread drawer([&](std::stop_token t) {
    got = shared.Take(t);
    got = shared.Take(t) * 1000 + got;
  });
  shared.Publish(12);
  while (got.load() == -100) std::this_thread::yield();
  shared.Stop();
  shared.ResetIndex();  // a late reset does not hide the stop
  drawer.join();
  EXPECT_EQ(got, kStopIndex * 1000 + 12);
  EXPECT_EQ(shared.WriteIndex(), kStopIndex);
  EXPECT_EQ(shared.Take({}), kStopIndex);
  // A column published just before the stop is still handed over.
  LiveShared last(1);
  last.Publish(6);
  last.Stop();
  EXPECT_EQ(last.Take({}), 6);
  EXPECT_EQ(last.Take({}), kStopIndex);
  // The window's own stop request ends a wait with nothing published.
  LiveShared idle(1);
  std::jthread waiting([&](std::stop_token t) { got = idle.Take(t); });
  waiting.request_stop();
  waiting.join();
  EXPECT_EQ(got, kStopIndex);
}

}  // namespace
}  // namespace acquisition
