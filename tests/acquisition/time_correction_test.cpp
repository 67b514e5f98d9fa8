// The time-correction check: the points chosen around a file, the drift between them, the exact start and
// the verdict, against a Python reference of the same rules, for layouts of the synchronisation table
// that include the degenerate ones (empty, one point, the two points made one, no GPS interval) and
// times past 2036.
#include "acquisition/time_correction.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "../toolkit/python_reference.h"

namespace acquisition {
namespace {

// 2037-02-20 00:00:00 UTC in GPS seconds: seconds since 1899 no longer fit 32 bits.
constexpr uint32_t kStartGps = 1'802'736'000;
constexpr int64_t kS0 = int64_t{kStartGps} + 2'525'126'400;
static_assert(kS0 > (int64_t{1} << 32));

struct Layout {
  const char* name;
  std::vector<int64_t> offsets;  // synchronisation times, seconds from the file's stored start
  std::vector<double> values;
  uint32_t gps;
  std::vector<int> keys;
};

const Layout kLayouts[] = {
    {"empty", {}, {}, 128, {}},
    {"one entry", {-1000}, {5.5}, 128, {}},
    {"between two", {-3000, -1000, 800, 5000}, {1.0, 12.5, -3.25, 40.0}, 128, {}},
    {"spanning three", {-1000, 200, 900}, {2.0, 7.0, 9.5}, 128, {}},
    {"spanning three, second moved down", {-1000, 200, 900}, {2.0, 7.0, 9.5}, 128, {109}},
    {"second moved onto first", {-3000, -1000, 800, 5000}, {1.0, 12.5, -3.25, 40.0}, 128, {109, 109}},
    {"no GPS interval, one point", {-3000, -1000, 800}, {1.0, 12.5, -3.25}, 0, {109}},
    {"first moved up and back", {-3000, -1000, 800, 5000}, {1.0, 12.5, -3.25, 40.0}, 64, {187, 189, 189}},
};

std::string PyList(const std::vector<int64_t>& v) {
  std::string s = "[";
  for (int64_t x : v) s += std::to_string(x) + ",";
  return s + "]";
}
std::string PyList(const std::vector<double>& v) {
  std::string s = "[";
  char b[64];
  for (double x : v) {
    std::snprintf(b, sizeof b, "%.17g,", x);
    s += b;
  }
  return s + "]";
}
std::string PyList(const std::vector<int>& v) {
  std::string s = "[";
  for (int x : v) s += std::to_string(x) + ",";
  return s + "]";
}

// The reference: the window's rules written out again, in exact fractions.
constexpr const char* kReference = R"(
from fractions import Fraction as F
def check(times, values, gps, keys, start, channels, dec, clock, pages):
    n = len(times)
    end = start + pages * F(150 // channels) * dec / clock
    first = 0
    for i in range(n):
        if start > times[i] + gps: first = i
    base = times[first] + gps if n else 0
    second = min(first + 1, n - 1) if n else 0
    for i in range(n - 1, -1, -1):
        if times[i] > end and times[i] > base: second = i
    for k in keys:
        if k == 187: first = min(first + 1, second)
        if k == 189: first = max(first - 1, 0)
        if k == 107: second = min(second + 1, n - 1)
        if k == 109: second = max(second - 1, first)
        base = times[first] + gps
    drift = n > 0 and second > first and times[second] - base > 0
    rate = -(F(values[second]) / 10**6) / (times[second] - base) if drift else 0
    shift = (start - base) * rate if drift else 0
    good = drift and second == first + 1 and times[second] >= end and start >= base
    print(first, second, int(drift), '%.17g' % float(rate), '%.17g' % float(shift), int(good))
)";

TEST(TimeCorrection, PointsDriftAndVerdictAgreeWithTheReference) {
  std::string program = kReference;
  std::vector<TimeCorrectionInput> inputs;
  std::vector<std::vector<int64_t>> times(std::size(kLayouts));
  std::vector<std::vector<double>> values(std::size(kLayouts));
  std::vector<std::vector<uint8_t>> kinds(std::size(kLayouts));
  for (size_t l = 0; l < std::size(kLayouts); ++l) {
    const Layout& L = kLayouts[l];
    for (int64_t o : L.offsets) times[l].push_back(kS0 + o);
    values[l] = L.values;
    kinds[l].assign(L.offsets.size(), 1);
    TimeCorrectionInput in;
    in.File.StartTime = kStartGps;
    in.File.Correction = 0.25L;
    in.File.BeginPage = 1000;
    in.File.EndPage = 1999;
    in.File.Channels = 3;
    in.File.Decimation = 10;
    in.SampleClock = 1000;
    in.GpsInterval = L.gps;
    in.SyncTimes = &times[l];
    in.SyncTable = &values[l];
    in.SyncKinds = &kinds[l];
    inputs.push_back(in);
    program += "check(" + PyList(times[l]) + "," + PyList(values[l]) + "," + std::to_string(L.gps) + "," +
               PyList(L.keys) + ", F(" + std::to_string(kS0) + ") + F(1, 4), 3, 10, 1000, 1000)\n";
  }
  const std::vector<std::string> ref = toolkit_test::RunPython("time_correction_reference", program);
  ASSERT_EQ(ref.size(), std::size(kLayouts));
  for (size_t l = 0; l < std::size(kLayouts); ++l) {
    SCOPED_TRACE(kLayouts[l].name);
    TimeCorrection c = ComputeTimeCorrection(inputs[l]);
    for (int k : kLayouts[l].keys) MoveSyncPoint(inputs[l], c, k);
    std::istringstream r(ref[l]);
    int first, second, drift, good;
    double rate, shift;
    r >> first >> second >> drift >> rate >> shift >> good;
    EXPECT_EQ(c.First, first);
    EXPECT_EQ(c.Second, second);
    EXPECT_EQ(c.HasDrift, drift != 0);
    EXPECT_NEAR(c.DriftRate, rate, 1e-15 + 1e-9 * std::abs(rate));
    EXPECT_NEAR(static_cast<double>(c.ExactStart - c.Start), shift, 1e-9);
    EXPECT_EQ(c.Good, good != 0);
    // No text shows a division by zero.
    for (const std::string* t : {&c.Label10, &c.Label8, &c.Label2}) {
      EXPECT_EQ(t->find("inf"), std::string::npos) << *t;
      EXPECT_EQ(t->find("nan"), std::string::npos) << *t;
    }
    if (!c.HasDrift) {
      EXPECT_EQ(c.Label10, "2) относительный уход: нет данных");
    }
  }
}

TEST(TimeCorrection, TextsOfAFileBetweenTwoSynchronisations) {
  std::vector<int64_t> times{kS0 - 1000, kS0 + 800};
  std::vector<double> values{12.5, -3.25};
  std::vector<uint8_t> kinds{0, 1};
  TimeCorrectionInput in;
  in.File = {1000, 1999, kStartGps, 0, 0, 3, 10};
  in.File.Correction = 0.25L;
  in.SampleClock = 1000;
  in.GpsInterval = 128;
  in.SyncTimes = &times;
  in.SyncTable = &values;
  in.SyncKinds = &kinds;
  const TimeCorrection c = ComputeTimeCorrection(in);
  EXPECT_EQ(c.Label3, "начало: 20.02.37 00:00:00 + 250000.0mk");
  EXPECT_EQ(c.Label4, "конец  20.02.37 00:08:20");
  EXPECT_EQ(c.Label9, "интервал синхронизации 02 мин 08 сек");
  EXPECT_EQ(c.Label1, "коррекция по : 0 - 1");
  EXPECT_EQ(c.E_dt_k, "-3.2500");
  EXPECT_EQ(c.Label2, "1) Unit был синхронизован в  19.02.37 23:45:28 ");
  ASSERT_EQ(c.Lines.size(), 2u);
  EXPECT_EQ(c.Lines[0], "00 :  " + std::to_string(kS0 - 1000) + "   19.02.37 23:43:20  ->  12.50000000мк ");
  EXPECT_EQ(c.Lines[1], "синхронизация в  20.02.37 00:13:20  ->  -3.25000000мк ");
  EXPECT_TRUE(c.Good);
  const std::vector<std::string> log = TimeCorrectionLogLines(in, c);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "начало: 20.02.37 00:00:00;    конец:  20.02.37 00:08:20;");
  EXPECT_EQ(log[1], "0: 19.02.37 23:43:20  12.50000    /   1: 20.02.37 00:13:20 / -3.25000");

  // No channels or no sample clock: no end, never good.
  TimeCorrectionInput noClock = in;
  noClock.SampleClock = 0;
  const TimeCorrection bad = ComputeTimeCorrection(noClock);
  EXPECT_FALSE(bad.HasEnd);
  EXPECT_FALSE(bad.Good);
  EXPECT_EQ(bad.Label4, "конец  нет данных");
  EXPECT_EQ(TimeCorrectionLogLines(noClock, bad)[1], "  -  А  В О Т  З А Ч Е М  Э Т О  Д Е Л А Е М ?");
}

TEST(TimeCorrection, TheListStopsAtItsLimit) {
  std::vector<int64_t> times;
  for (int i = 0; i < 6000; ++i) times.push_back(kS0 - 7000 + i);
  times.push_back(kS0 + 100'000);
  std::vector<double> values(times.size(), 1.0);
  std::vector<uint8_t> kinds(times.size(), 0);
  TimeCorrectionInput in;
  in.File = {1000, 1999, kStartGps, 0, 0, 3, 10};
  in.SampleClock = 1000;
  in.GpsInterval = 6000;  // the point before the file is point 999
  in.SyncTimes = &times;
  in.SyncTable = &values;
  in.SyncKinds = &kinds;
  TimeCorrection c = ComputeTimeCorrection(in);
  EXPECT_LE(c.Lines.size(), kCorrectionListLines);
  // From 100 before the point before the file (999) towards the one after it (6000): 5102 lines.
  EXPECT_EQ(c.First, 999);
  EXPECT_EQ(c.Second, 6000);
  EXPECT_EQ(c.Lines.size(), kCorrectionListLines);
}

}  // namespace
}  // namespace acquisition
