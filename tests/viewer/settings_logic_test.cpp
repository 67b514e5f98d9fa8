#include "viewer/settings_logic.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "support/planted_fifo.h"
#include "support/temp_dir.h"
#include "toolkit/sample_recording.h"

namespace viewer {
namespace {

using toolkit::SetupRecord;

std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SettingsStartPage, FieldSelectsThePage) {
  EXPECT_EQ(StartPage(0), kPageFile);
  EXPECT_EQ(StartPage(0xFFFF), kPageFile);
  EXPECT_EQ(StartPage(1), kPageSearch);
  EXPECT_EQ(StartPage(2), kPageTest);
  EXPECT_EQ(StartPage(3), kPageIntegral);
  EXPECT_EQ(StartPage(4), kPageStation);
  EXPECT_EQ(StartPage(5), kPageStation);
  EXPECT_EQ(StartPage(6), kPageHeader);
  EXPECT_EQ(StartPage(7), kPageFile);
}

TEST(SettingsReread, ChannelMapFileNameAndCoefficientSwitchOnly) {
  SetupRecord live{};
  toolkit::SetFieldText(live.FileName, "a.1");
  SetupRecord copy = live;
  EXPECT_FALSE(NeedsReread(copy, live));
  copy.FilterType = 3;  // a setting of another page
  copy.StationHours = 5;
  EXPECT_FALSE(NeedsReread(copy, live));

  copy = live;
  copy.ChannelMap[63] = 1;
  EXPECT_TRUE(NeedsReread(copy, live));
  copy = live;
  toolkit::SetFieldText(copy.FileName, "a.2");
  EXPECT_TRUE(NeedsReread(copy, live));
  copy = live;
  copy.UseCoefficients = 1;
  EXPECT_TRUE(NeedsReread(copy, live));
  // Bytes after the name's end do not count.
  copy = live;
  copy.FileName[10] = 'q';
  EXPECT_FALSE(NeedsReread(copy, live));
}

TEST(SettingsChannelOrder, EntriesHeldWithinTheFileChannels) {
  ChannelEntry e = ParseChannelEntry("7", 2);
  EXPECT_EQ(e.channel, 2);
  EXPECT_TRUE(e.aboveLast);
  EXPECT_EQ(ChannelTooHighText(2), "номер канала не более 2");
  e = ParseChannelEntry("2", 2);
  EXPECT_EQ(e.channel, 2);
  EXPECT_FALSE(e.aboveLast);
  e = ParseChannelEntry(" 1,9", 2);
  EXPECT_EQ(e.channel, 1);
  // Below 0 is channel 0, never a wrapped 16-bit number.
  e = ParseChannelEntry("-3", 2);
  EXPECT_EQ(e.channel, 0);
  EXPECT_FALSE(e.aboveLast);
  EXPECT_EQ(ParseChannelEntry("", 5).channel, 0);
  EXPECT_EQ(ParseChannelEntry("70000", 63).channel, 63);

  SetupRecord setup{};
  setup.Header.Channels = 3;
  setup.LoadChannels = 4;
  setup.ChannelMap[0] = 1;
  setup.ChannelMap[1] = 5;
  setup.ChannelMap[3] = 65533;
  setup.ChannelMap[4] = 9;  // not on the plot: left alone
  ClampChannelMap(setup);
  EXPECT_EQ(setup.ChannelMap[0], 1);
  EXPECT_EQ(setup.ChannelMap[1], 2);
  EXPECT_EQ(setup.ChannelMap[3], 2);
  EXPECT_EQ(setup.ChannelMap[4], 9);
  setup.Header.Channels = 0;
  EXPECT_EQ(LastFileChannel(setup), 0);
  EXPECT_EQ(ClampPlotChannels(0), 1);
  EXPECT_EQ(ClampPlotChannels(65), 64);
  EXPECT_EQ(ClampPlotChannels(12), 12);
}

TEST(SettingsHeaderRewrite, HeadersReadFromTheFileAreRewrittenInPlaceFramesAndLengthKept) {
  support::TempDir dir;
  toolkit::SampleRecordingPlan plan;
  plan.channels = 3;
  plan.frames = 40;
  ASSERT_TRUE(toolkit::WriteSampleRecording(dir.File("rec"), plan));
  std::vector<char> before = FileBytes(dir.File("rec"));

  FileHeaders headers;
  ReadFileHeaders(dir.File("rec"), headers);
  ASSERT_TRUE(headers.read);
  ASSERT_EQ(headers.channels.size(), 3u);
  EXPECT_EQ(std::memcmp(&headers.main, before.data(), 120), 0);
  EXPECT_EQ(std::memcmp(headers.channels.data(), before.data() + 120, 3 * 72), 0);
  // Written back untouched: not a byte changes.
  ASSERT_EQ(RewriteFileHeaders(headers), HeaderRewrite::Ok);
  EXPECT_EQ(FileBytes(dir.File("rec")), before);

  toolkit::SetFieldText(headers.main.Station, "NEW");
  headers.channels[2].Coef = 2.5;
  ASSERT_EQ(RewriteFileHeaders(headers), HeaderRewrite::Ok);
  const std::vector<char> after = FileBytes(dir.File("rec"));
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(std::string(after.data() + 32, 3), "NEW");
  double coef = 0;
  std::memcpy(&coef, after.data() + 120 + 2 * 72 + 56, sizeof coef);
  EXPECT_EQ(coef, 2.5);
  EXPECT_TRUE(std::equal(after.begin() + 336, after.end(), before.begin() + 336));
}

TEST(SettingsHeaderRewrite, MissingUnreadOrUnwritableFileIsReported) {
  support::TempDir dir;
  FileHeaders headers;
  ReadFileHeaders(dir.File("gone"), headers);
  EXPECT_FALSE(headers.read);
  EXPECT_EQ(RewriteFileHeaders(headers), HeaderRewrite::NoFile);
  EXPECT_EQ(HeaderRewriteText(HeaderRewrite::NoFile, headers), "Не могу записать заголовок! Нет файла gone");
  // A FIFO at the name is neither read nor waited on; a link is not followed, even to a recording.
  EXPECT_TRUE(support::FifoLeftUnread(dir.File("fifo"), [&] { ReadFileHeaders(dir.File("fifo"), headers); }));
  EXPECT_FALSE(headers.read);
  ASSERT_TRUE(toolkit::WriteSampleRecording(dir.File("rec"), toolkit::SampleRecordingPlan{}));
  std::filesystem::create_symlink("rec", dir.File("linked"));
  ReadFileHeaders(dir.File("linked"), headers);
  EXPECT_FALSE(headers.read);
  // A file cut inside its channel headers: nothing is read, so nothing may be written back.
  {
    std::ofstream cut(dir.File("cut"), std::ios::binary);
    toolkit::MAIN_HEADER h{};
    h.Channels = 3;
    cut.write(reinterpret_cast<const char*>(&h), sizeof h);
    cut << std::string(100, 'x');
  }
  const std::vector<char> cutBefore = FileBytes(dir.File("cut"));
  ReadFileHeaders(dir.File("cut"), headers);
  EXPECT_FALSE(headers.read);
  EXPECT_EQ(RewriteFileHeaders(headers), HeaderRewrite::NotRead);
  EXPECT_EQ(FileBytes(dir.File("cut")), cutBefore);
  EXPECT_EQ(HeaderRewriteText(HeaderRewrite::NotRead, headers),
            "Заголовки файла cut не прочитаны: сохранять нечего");
  // Replaced by a file of another channel count since its headers were read: left as it is.
  toolkit::SampleRecordingPlan plan;
  plan.channels = 2;
  plan.frames = 5;
  ASSERT_TRUE(toolkit::WriteSampleRecording(dir.File("swapped"), plan));
  ReadFileHeaders(dir.File("swapped"), headers);
  ASSERT_TRUE(headers.read);
  plan.channels = 3;
  ASSERT_TRUE(toolkit::WriteSampleRecording(dir.File("swapped"), plan));
  const std::vector<char> swapped = FileBytes(dir.File("swapped"));
  EXPECT_EQ(RewriteFileHeaders(headers), HeaderRewrite::Changed);
  EXPECT_EQ(FileBytes(dir.File("swapped")), swapped);
  std::filesystem::create_directory(dir.File("adir"));  // exists, cannot be opened for update
  headers.path = dir.File("adir");
  headers.read = true;
  headers.main.Channels = 0;
  headers.channels.clear();
  EXPECT_EQ(RewriteFileHeaders(headers), HeaderRewrite::CannotOpen);
  EXPECT_EQ(HeaderRewriteText(HeaderRewrite::MainHeaderShort, headers), "Ошибка записи заголовка MAIN_HEADER ");
}

}  // namespace
}  // namespace viewer
