// Reading the files of a station into one interval: positions, gaps, skipped files, the memory rule.
#include "viewer/station_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "support/temp_dir.h"
#include "toolkit/python_reference.h"
#include "viewer/recording_builder.h"

namespace {

using toolkit::SetupRecord;
using viewer::ChannelSamples;
using viewer_test::FilePlan;
using viewer_test::kSeconds2001;
using viewer_test::kTicks2001;

constexpr int64_t kTicksPerSample100 = 2'560'000;  // 100 Hz

int32_t Value(int file, int c, uint32_t n) { return (file + 1) * 100000 + c * 10000 + static_cast<int32_t>(n); }

class StationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    toolkit::SetSetupDefaults(*s, dir.path() + "/");
    toolkit::SetFieldText(s->DataDir, dir.path());
    s->Header.Format = 60;
    s->Header.Rate = 100;
    s->Header.dt = 0.01;
    toolkit::SetFieldText(s->Header.Station, "st1");
    s->StationStart = kSeconds2001;
    s->StationHours = 1;
    s->LoadChannels = 3;
    for (uint16_t j = 0; j < 64; ++j) s->ChannelMap[j] = j;
    s->SeveralStations = 0;
    s->UseCoefficients = 0;
  }
  void Write(const std::string& name, const FilePlan& plan, int file) {
    viewer_test::WriteRecording(dir.File(name), plan, [file](int c, uint32_t n) { return Value(file, c, n); });
  }
  viewer::StationReadOutcome Read() {
    return viewer::CheckStationReadLimits(*s, samples, funk, dir.path());
  }

  support::TempDir dir;
  std::unique_ptr<SetupRecord> s = std::make_unique<SetupRecord>();
  ChannelSamples samples;
  toolkit::TFunk funk;
};

// Files at -5, 0 and +7 samples (and fractions around them), a gap of 10 s, a file lacking a mapped
// channel, files cut short and foreign files: the arrays against numpy.
TEST_F(StationTest, FilesLieAtTheirTimePositionsAgainstNumpy) {
  struct Placed {
    const char* name;
    int64_t offsetTicks;
    uint32_t frames;
  };
  const Placed placed[] = {
      {"a", -5 * kTicksPerSample100, 100},              // starts 5 samples early: index 0 holds its 6th frame
      {"b", 300 * kTicksPerSample100, 50},              // exactly on a sample
      {"c", 507 * kTicksPerSample100 + 1'270'000, 20},  // just under half a sample late: 507
      {"d", 600 * kTicksPerSample100 + 1'290'000, 20},  // just over: 601
      {"e", 1000 * kTicksPerSample100, 1000},           // ends 10 s before f begins
      {"f", 3000 * kTicksPerSample100, 1000},
      {"g", 359990 * kTicksPerSample100, 100},          // runs past the interval's end
  };
  std::ostringstream py;
  py << "import numpy as np\nS = 360000\nout = np.zeros((3, S))\n";
  for (int i = 0; i < 7; ++i) {
    FilePlan p;
    p.startTicks = kTicks2001 + placed[i].offsetTicks;
    p.frames = placed[i].frames;
    Write(placed[i].name, p, i);
    py << "pos = int(np.floor(" << placed[i].offsetTicks << " * 100 / 256e6 + 0.5))\n"
       << "for n in range(" << p.frames << "):\n"
       << "    if 0 <= pos + n < S: out[:, pos + n] = [" << i + 1 << " * 100000 + c * 10000 + n for c in range(3)]\n";
  }
  FilePlan leftover;  // a temporary of a replacement killed midway, a whole copy of e: no recording
  leftover.startTicks = kTicks2001 + placed[4].offsetTicks;
  leftover.frames = placed[4].frames;
  Write(".qtmpZq0PDx", leftover, 4);
  std::filesystem::create_symlink("e", dir.File("m_linked"));  // a link is not followed, even to a recording
  FilePlan two;  // 2 channels: map entry 2 cannot be read from it
  two.channels = 2;
  two.frames = 10;
  two.startTicks = kTicks2001 + 100 * kTicksPerSample100;
  Write("h_two", two, 9);
  FilePlan cut = two;  // its channel headers end early
  cut.channels = 3;
  cut.frames = 0;
  cut.cutBytes = 30;
  Write("i_cut", cut, 9);
  FilePlan half;  // its last frame is cut: only whole frames are laid
  half.frames = 10;
  half.startTicks = kTicks2001 + 5000 * kTicksPerSample100;
  half.cutBytes = 6;
  Write("j_half", half, 7);
  py << "for n in range(9): out[:, 5000 + n] = [8 * 100000 + c * 10000 + n for c in range(3)]\n";
  FilePlan foreign;
  foreign.frames = 10;
  foreign.station = "st2";
  Write("k_station", foreign, 9);
  foreign.station = "st1";
  foreign.rate = 200;
  Write("l_rate", foreign, 9);
  py << "for c in range(3):\n    nz = np.nonzero(out[c])[0]\n"
        "    print(' '.join('%d:%d' % (i, out[c][i]) for i in nz))\n";

  const auto out = Read();
  ASSERT_FALSE(out.refused);
  EXPECT_EQ(out.filesLoaded, 8);
  EXPECT_EQ(s->Samples, 360000u);
  EXPECT_EQ(s->ChannelCount, 3);
  const auto ref = toolkit_test::RunPython("station", py.str());
  ASSERT_EQ(ref.size(), 3u);
  for (int c = 0; c < 3; ++c) {
    std::map<uint32_t, float> expected;
    std::istringstream in(ref[c]);
    for (std::string item; in >> item;) {
      const size_t colon = item.find(':');
      expected[std::stoul(item.substr(0, colon))] = std::stof(item.substr(colon + 1));
    }
    ASSERT_GT(expected.size(), 2000u);
    for (uint32_t i = 0; i < s->Samples; ++i) {
      const auto it = expected.find(i);
      ASSERT_EQ(samples[c][i], it == expected.end() ? 0.0f : it->second) << c << " " << i;
    }
  }
  EXPECT_EQ(samples[0][0], Value(0, 0, 5));
  // The 1,000 samples of the gap between e and f stay 0.
  EXPECT_NE(samples[0][1999], 0.0f);
  for (uint32_t i = 2000; i < 3000; ++i) ASSERT_EQ(samples[0][i], 0.0f) << i;
  EXPECT_EQ(samples[0][3000], Value(5, 0, 0));
  bool twoListed = false, cutListed = false;
  for (const auto& line : out.listing) {
    twoListed |= line.rfind("h_two: в файле 2 каналов", 0) == 0;
    cutListed |= line.rfind("i_cut: заголовки каналов не прочитаны", 0) == 0;
  }
  EXPECT_TRUE(twoListed);
  EXPECT_TRUE(cutListed);
  EXPECT_EQ(out.listing.front(), "от: 01.01.2001 00:00:00 до: 01.01.2001 01:00:00");
  EXPECT_EQ(out.listing.back(), "st1 :  файлов:  8   *  *  *");
  EXPECT_EQ(out.caption, "Jul 28 2010 ;  файлов - 8;    длина записи: 60 мин;");
  EXPECT_EQ(s->StationMode, 1);
  EXPECT_EQ(s->Nk, 359999);
  EXPECT_EQ(s->Header.StartTicks, kTicks2001);
  EXPECT_EQ(std::string(s->MemChannels[1].Name), "00_ch1");
}

TEST_F(StationTest, NoFileInTheIntervalLeavesZerosAndSaysSo) {
  FilePlan p;
  p.frames = 10;
  p.startTicks = kTicks2001 + int64_t{7200} * 256'000'000;
  Write("late", p, 0);
  const auto out = Read();
  EXPECT_EQ(out.filesLoaded, 0);
  EXPECT_EQ(out.caption, "файлов нет;    длина записи: 60 мин;");
  EXPECT_EQ(samples[2][359999], 0.0f);
}

TEST_F(StationTest, PositionRoundsToTheNearestSampleAtRatesThatDoNotDivideTheTick) {
  struct Case {
    int64_t ticks;
    uint16_t rate;
    int64_t pos;
  } cases[] = {{-5 * kTicksPerSample100, 100, -5}, {-kTicksPerSample100 / 2, 100, 0}, {kTicksPerSample100 / 2 - 1, 100, 0},
               {int64_t{256'000'000} * 3600, 49, 176400}, {5'224'490, 49, 1},  {5'224'489 / 2, 49, 0},
               {-int64_t{256'000'000} * 10, 10000, -100000}};
  for (const Case& c : cases)
    EXPECT_EQ(viewer::StationSamplePosition(kTicks2001 + c.ticks, kTicks2001, c.rate), c.pos) << c.ticks;
  // A damaged header's start at either end of 64 bits: the distance is taken in the wide type.
  // (numbers from Python's exact integers)
  EXPECT_EQ(viewer::StationSamplePosition(INT64_MIN, kTicks2001, 100), int64_t{-3'669'157'141'896});
  EXPECT_EQ(viewer::StationSamplePosition(INT64_MIN, kTicks2001, 49), int64_t{-1'797'886'999'529});
  EXPECT_EQ(viewer::StationSamplePosition(INT64_MAX, -kTicks2001, 100), int64_t{3'669'157'141'896});
}

// The memory rule in 64 bits: one hour of 64 channels at 1 kHz passes, two are cut to one, one hour at
// 10 kHz (9.2e9 bytes, beyond 32 bits) is refused and changes nothing. Room for one channel-hour only:
// the read keeps that channel.
TEST_F(StationTest, MemoryRuleCutsOrRefusesTheInterval) {
  struct Case {
    uint16_t rate, hours;
    bool refused;
    uint16_t hoursAfter;
    const char* message;
  } cases[] = {{1000, 1, false, 1, ""}, {1000, 2, false, 1, "можно показать только 60 минут"},
               {10000, 1, true, 1, "нельзя показать и одного часа"}};
  for (const Case& c : cases) {
    ChannelSamples one(3'600'000 + ChannelSamples::kSpare);  // allocations beyond one channel-hour fail
    s->Header.Rate = c.rate;
    s->LoadChannels = 64;
    s->StationHours = c.hours;
    s->ChannelCount = 5;
    const auto out = viewer::CheckStationReadLimits(*s, one, funk, dir.path());
    EXPECT_EQ(s->StationHours, c.hoursAfter) << c.rate;
    EXPECT_FALSE(out.recordLost);
    if (c.refused) {
      EXPECT_TRUE(out.refused);
      EXPECT_EQ(s->ChannelCount, 5);  // the record in memory is untouched
    } else {
      EXPECT_FALSE(out.refused);
      EXPECT_EQ(s->ChannelCount, 1);
      EXPECT_EQ(s->Samples, 3'600'000u);
      EXPECT_EQ(out.messages.back().text, " память на 1");
    }
    if (*c.message != 0) {
      ASSERT_FALSE(out.messages.empty());
      EXPECT_NE(out.messages[0].text.find(c.message), std::string::npos) << out.messages[0].text;
      EXPECT_EQ(out.messages[0].caption, "убавь число каналов");
    } else {
      EXPECT_EQ(out.messages.size(), 1u);  // " память на 1" only
    }
  }
}

// What the system can give shortens the interval to whole hours, down to one; below one hour of all
// channels fewer channels are read; without room for one hour of one channel the read is refused before
// anything is freed or read, and the record in memory stays.
TEST_F(StationTest, AvailableMemoryShortensTheIntervalOrKeepsFewerChannels) {
  const uint64_t hour = uint64_t{4} * 100 * 3600;  // one channel at 100 Hz
  struct Case {
    uint64_t room;
    uint16_t hours, hoursAfter, channels;
    const char* message;
  } cases[] = {{hour * 3 * 5 / 2, 4, 2, 3, "можно показать только 120 минут"},
               {hour * 3 * 5 / 2, 2, 2, 3, nullptr},
               {hour * 5 / 2, 3, 1, 2, "можно показать только 60 минут"},
               {hour / 2, 3, 3, 7, "нельзя показать: памяти не хватает ни на один канал (нужно 1.4 МБ, можно взять 0.7 МБ)"}};
  FilePlan p;
  p.frames = 10;
  Write("a", p, 0);
  for (const Case& c : cases) {
    ChannelSamples system(SIZE_MAX, [&] { return c.room; });
    ASSERT_EQ(system.Provide(1, 10), 1u);  // the record in memory
    const float* held = system[0];
    s->StationHours = c.hours;
    s->LoadChannels = 3;
    s->ChannelCount = 7;
    const auto out = viewer::CheckStationReadLimits(*s, system, funk, dir.path());
    EXPECT_EQ(out.refused, c.channels == 7);
    EXPECT_FALSE(out.recordLost);
    EXPECT_EQ(s->StationHours, c.hoursAfter) << c.hours;
    EXPECT_EQ(s->ChannelCount, c.channels) << c.hours;
    if (c.message != nullptr) {
      ASSERT_FALSE(out.messages.empty());
      EXPECT_EQ(out.messages[0].text.substr(0, std::string(c.message).size()), c.message);
    } else {
      EXPECT_TRUE(out.messages.empty());
    }
    if (c.channels < 3) {
      EXPECT_EQ(out.messages.back().text, " память на 2");
    }
    if (out.refused) {
      EXPECT_EQ(system[0], held);
      EXPECT_EQ(out.listing.size(), 0u);  // no file was looked at
    } else {
      EXPECT_EQ(system[1][3], Value(0, 1, 3));
    }
  }
}

TEST_F(StationTest, AllocationFailureKeepsTheArraysObtained) {
  ChannelSamples two((360000 + ChannelSamples::kSpare) * 2);
  FilePlan p;
  p.frames = 10;
  Write("a", p, 0);
  const auto out = viewer::CheckStationReadLimits(*s, two, funk, dir.path());
  EXPECT_FALSE(out.refused);
  EXPECT_EQ(s->ChannelCount, 2);
  EXPECT_EQ(s->ArraysAllocated, 2);
  ASSERT_FALSE(out.messages.empty());
  EXPECT_EQ(out.messages[0].text, " память на 2");
  EXPECT_EQ(two[1][3], Value(0, 1, 3));
  EXPECT_EQ(two[2], nullptr);
}

TEST_F(StationTest, SeveralStationsAreHeldTo64ChannelsAndNamedByStation) {
  s->SeveralStations = 1;
  s->LoadChannels = 5;
  s->StationCount = 16;
  for (int j = 0; j < 16; ++j) toolkit::SetFieldText(s->Stations[j], "s" + std::to_string(j));
  FilePlan p;
  p.channels = 5;
  p.frames = 4;
  p.station = "s1";
  Write("one", p, 0);
  ChannelSamples none(0);
  auto out = viewer::CheckStationReadLimits(*s, none, funk, dir.path());
  ASSERT_FALSE(out.messages.empty());
  EXPECT_EQ(out.messages[0].text, "можно показать только 12 станций из  16");

  s->StationCount = 3;
  s->LoadChannels = 5;
  out = Read();
  EXPECT_EQ(s->ChannelCount, 15);
  EXPECT_EQ(samples[5 + 2][1], Value(0, 2, 1));
  EXPECT_EQ(samples[2][1], 0.0f);
  EXPECT_EQ(std::string(s->MemChannels[7].Name), "01_ch2");
}

TEST_F(StationTest, CoefficientsScaleAndAFileThatDisagreesIsLeftOut) {
  s->UseCoefficients = 1;
  s->CoefficientCheck = 1;
  FilePlan p;
  p.frames = 4;
  p.coefs = {0.5, 2.0, 1.0};
  Write("a", p, 0);
  p.coefs = {0.5, 2.5, 1.0};
  p.startTicks += 100 * kTicksPerSample100;
  Write("b", p, 1);
  // A damaged coefficient skips its file with a line where it would scale a channel of the interval; on a
  // channel not read, or with coefficients off, the file is read.
  p.coefs = {0.5, 2.0, NAN};
  p.startTicks += 100 * kTicksPerSample100;
  Write("c", p, 2);
  struct Case {
    uint16_t loadChannels, useCoefficients;
    int files;
    bool cSkipped;
  } cases[] = {{3, 1, 1, true}, {2, 1, 2, false}, {3, 0, 3, false}};
  for (const Case& c : cases) {
    s->LoadChannels = c.loadChannels;
    s->UseCoefficients = c.useCoefficients;
    const auto out = Read();
    const float coef = c.useCoefficients ? 2.0f : 1.0f;
    EXPECT_EQ(out.filesLoaded, c.files) << c.loadChannels << " " << c.useCoefficients;
    EXPECT_EQ(samples[1][2], Value(0, 1, 2) * coef);
    EXPECT_EQ(samples[1][102], c.useCoefficients ? 0.0f : Value(1, 1, 2));
    EXPECT_EQ(samples[1][202], c.cSkipped ? 0.0f : Value(2, 1, 2) * coef);
    const bool listed = std::find(out.listing.begin(), out.listing.end(),
                                  "c: коэффициент канала 2 не годится: nan, файл пропущен") != out.listing.end();
    EXPECT_EQ(listed, c.cSkipped);
  }
}

}  // namespace

namespace {

TEST(StationLimits, IntervalsBefore1980OrPast2036AreRefused) {
  for (uint32_t start : {100u, 4'294'967'295u - 1800u}) {
    auto s = std::make_unique<SetupRecord>();
    toolkit::SetSetupDefaults(*s, "/tmp/");
    s->Header.Rate = 100;
    s->StationHours = 1;
    s->StationStart = start;
    s->ChannelCount = 4;
    ChannelSamples samples;
    toolkit::TFunk funk;
    const auto out = viewer::CheckStationReadLimits(*s, samples, funk, "/nonexistent");
    EXPECT_TRUE(out.refused) << start;
    EXPECT_EQ(s->ChannelCount, 4);
  }
}

}  // namespace
