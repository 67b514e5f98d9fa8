#include "analysis/selection_export.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "reference_arrays.h"
#include "scoped_work_dir.h"
#include "support/fixture_file.h"
#include "support/planted_fifo.h"
#include "toolkit/format_text.h"
#include "toolkit/sample_recording.h"

namespace {

using analysis::ExportRecording;

constexpr int64_t kSecondsFrom1980To2000 = 631'152'000;
// 1000.5 s after 2000-01-01 00:00:00.
constexpr int64_t kStart = (kSecondsFrom1980To2000 + 1000) * toolkit::kTicksPerSecond + toolkit::kTicksPerSecond / 2;

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A sample recording in `dir` with the record in memory as a load leaves it: the frames as floats times
// the coefficient.
struct Loaded {
  toolkit::SampleRecordingPlan plan;
  toolkit::SetupRecord s{};
  std::vector<std::vector<float>> samples;
  std::vector<const float*> channels;

  Loaded(const std::string& dir, const std::string& name, uint32_t frames = 6000) {
    plan.frames = frames;
    plan.startTicks = kStart;
    plan.station = "KZN1";
    support::RequireFixture(toolkit::WriteSampleRecording(dir + "/" + name, plan), dir + "/" + name);
    toolkit::SetFieldText(s.DataDir, dir);
    toolkit::SetFieldText(s.FileName, name);
    std::FILE* f = std::fopen((dir + "/" + name).c_str(), "rb");
    support::RequireFixture(f != nullptr, dir + "/" + name);
    std::vector<toolkit::CHANNEL_HEADER> heads;
    EXPECT_EQ(toolkit::ReadHeaders(f, s.Header, heads), toolkit::HeaderIo::Ok);
    std::fclose(f);
    for (size_t c = 0; c < heads.size(); ++c) s.FileChannels[c] = s.MemChannels[c] = heads[c];
    s.ChannelCount = plan.channels;
    s.Samples = frames;
    s.Nn = 0;
    s.Nk = static_cast<int32_t>(frames);
    s.Dt = 0.01;
    samples.resize(plan.channels);
    for (uint16_t c = 0; c < plan.channels; ++c) {
      s.ChannelMap[c] = c;
      s.MemCoef[c] = 1e-3;
      for (uint32_t n = 0; n < frames; ++n)
        samples[c].push_back(static_cast<float>(toolkit::SampleValue(plan, c, n) * 1e-3));
      channels.push_back(samples[c].data());
    }
  }
};

TEST(SelectionExportTest, FileModeCopiesFramesAndShiftsTheStart) {
  analysis_test::ScopedWorkDir work;
  Loaded rec(work.dir().path(), "src.rec");
  rec.s.Header.Bits = 16;
  toolkit::TFunk funk;
  for (int32_t nn : {0, 1000}) {
    rec.s.Nn = nn;
    const analysis::ExportResult r = ExportRecording(rec.s, rec.channels.data(), 0, funk);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.frames, 6000u - nn);
    EXPECT_EQ(r.path.back(), 'K');  // the station's first character
    const std::string out = Bytes(r.path), src = Bytes(work.dir().File("src.rec"));
    const size_t headers = 120 + 72 * 3;
    ASSERT_EQ(out.size(), headers + 12 * (6000 - nn));
    EXPECT_EQ(out.substr(headers), src.substr(headers + 12 * nn));
    toolkit::MAIN_HEADER h;
    std::memcpy(&h, out.data(), sizeof h);
    EXPECT_EQ(h.StartTicks, kStart + nn * 2'560'000LL);
    EXPECT_EQ(h.Bits, 24);
    EXPECT_EQ(h.Format, 60);
    EXPECT_EQ(out.substr(120, 72 * 3), src.substr(120, 72 * 3));
  }
  EXPECT_EQ(rec.s.Header.Bits, 16);  // only the written copy says 24 bits
}

// Re-exporting an exported file from its start would write over the file being read; two stations of one
// start share the name of modes 0 ... 4 ("A" of ALPHA and ABCD, or "tx"), two recordings REC.X01 and
// REC.X02 that of mode 5. The second export is refused and the first file stays as it was.
TEST(SelectionExportTest, NeitherTheRecordingNorAnEarlierExportIsReplaced) {
  analysis_test::ScopedWorkDir work;
  Loaded rec(work.dir().path(), "src.rec");
  toolkit::TFunk funk;
  const analysis::ExportResult first = ExportRecording(rec.s, rec.channels.data(), 0, funk);
  ASSERT_EQ(first.error, "");
  Loaded again(work.dir().path(), "probe.rec");
  toolkit::SetFieldText(again.s.FileName, std::filesystem::path(first.path).filename().string());
  const std::string before = Bytes(first.path);
  for (int mode : {0, 1}) {
    const analysis::ExportResult r = ExportRecording(again.s, again.channels.data(), mode, funk);
    EXPECT_NE(r.error.find("не перезаписывается"), std::string::npos) << mode;
  }
  EXPECT_EQ(Bytes(first.path), before);

  Loaded alpha(work.dir().path(), "REC.X01", 50), abcd(work.dir().path(), "REC.X02", 50);
  toolkit::SetFieldText(alpha.s.Header.Station, "ALPHA");
  toolkit::SetFieldText(abcd.s.Header.Station, "ABCD");
  abcd.samples[0][0] = 7.0f;  // a different first value in every mode
  for (int mode = 0; mode <= 5; ++mode) {
    const analysis::ExportResult a = ExportRecording(alpha.s, alpha.channels.data(), mode, funk);
    ASSERT_EQ(a.error, "") << mode;
    const std::string written = Bytes(a.path);
    const analysis::ExportResult b = ExportRecording(abcd.s, abcd.channels.data(), mode, funk);
    EXPECT_EQ(b.path, a.path) << mode;
    EXPECT_EQ(b.error, "сохранить: файл " + a.path +
                           " уже есть и не заменяется.\nПеренесите или переименуйте его и сохраните снова.");
    EXPECT_EQ(b.frames, 0u);
    EXPECT_EQ(Bytes(a.path), written) << mode;
    std::filesystem::remove(a.path);
  }
}

TEST(SelectionExportTest, MemoryModeRoundsHalfAwayAndClamps) {
  analysis_test::ScopedWorkDir work;
  Loaded rec(work.dir().path(), "src.rec", 4);
  rec.s.MemCoef[2] = 0.0;  // counts as 1
  rec.samples[0] = {2.5e-3f, -2.5e-3f, 3e6f, NAN};
  rec.samples[1] = {0.4e-3f, -0.4e-3f, -3e6f, 1e-3f};
  rec.samples[2] = {7.0f, -7.0f, 0.5f, 1.0f};
  toolkit::TFunk funk;
  const analysis::ExportResult r = ExportRecording(rec.s, rec.channels.data(), 1, funk);
  ASSERT_EQ(r.error, "");
  const std::string out = Bytes(r.path);
  ASSERT_EQ(out.size(), 120 + 72 * 3 + 4 * 12u);
  std::vector<int32_t> v(12);
  std::memcpy(v.data(), out.data() + 120 + 72 * 3, 48);
  EXPECT_EQ(v, (std::vector<int32_t>{3, 0, 7, -3, 0, -7, 2147483647, -2147483647, 1, 0, 1, 1}));
}

// The text modes read back by Python: the header lines and every value of the selection.
TEST(SelectionExportTest, TextModesReadBackInPython) {
  analysis_test::ScopedWorkDir work;
  Loaded rec(work.dir().path(), "src.rec", 500);
  rec.s.Nn = 100;
  rec.s.Nk = 400;
  toolkit::TFunk funk;
  for (int mode : {2, 3, 4}) {
    const analysis::ExportResult r = ExportRecording(rec.s, rec.channels.data(), mode, funk);
    ASSERT_EQ(r.error, "") << mode;
    EXPECT_EQ(r.frames, 300u);
    const std::vector<double> got = analysis_test::Numpy(
        "txt", {},
        "lines = open('" + r.path + "', encoding='utf-8').read().split('\\n')\n"
        "assert lines[0] == 'KZN1 // станция' and lines[4] == '100   // частота', lines[:5]\n"
        "k = int(lines[5].split(' //')[0]); per = 3 if " + std::to_string(mode) + " == 3 else 4\n"
        "rows = [l.split('//')[0].split() for l in lines[6 + per * k:] if l]\n"
        "conv = {2: int, 3: float, 4: lambda t: int(t, 16) - (1 << 32) * (int(t, 16) >> 31)}[" +
            std::to_string(mode) + "]\n"
        "out = [k, len(rows)] + [conv(t) for row in rows for t in row]");
    ASSERT_EQ(got.size(), 2 + 300 * 3u) << mode;
    EXPECT_EQ(got[0], 3);
    for (uint32_t n = 0; n < 300; ++n)
      for (uint16_t c = 0; c < 3; ++c) {
        const double counts = toolkit::SampleValue(rec.plan, c, n + 100);
        const double want = mode == 3 ? static_cast<float>(counts * 1e-3) : counts;
        ASSERT_NEAR(got[2 + n * 3 + c], want, 1e-5 * std::fabs(want) + 1e-9) << mode << " " << n;
      }
    std::filesystem::remove(r.path);  // the three modes share the name
  }
}

// "казань" next to the recording even in a dotted directory; times from 2000-01-01.
TEST(SelectionExportTest, ColumnTextBesideTheRecording) {
  analysis_test::ScopedWorkDir work;
  const std::string dotted = work.dir().File("a.b");
  std::filesystem::create_directory(dotted);
  Loaded rec(dotted, "REC.X01", 50);
  rec.s.Nn = 10;
  toolkit::TFunk funk;
  const analysis::ExportResult r = ExportRecording(rec.s, rec.channels.data(), 5, funk);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.path, dotted + "/REC.dat");
  std::ifstream in(r.path);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, toolkit::FormatText("%14.4f  %13.6e %13.6e %13.6e", 1000.5 + 10 * 0.01, rec.samples[0][10],
                                      rec.samples[1][10], rec.samples[2][10]));
}

// Samples in memory that are not finite numbers are written as 0 by the text modes of the memory, and
// counted; so are the numbers of a damaged header (a coefficient, the position) in every text mode.
TEST(SelectionExportTest, NonFiniteSamplesAreWrittenAsZeroAndCounted) {
  analysis_test::ScopedWorkDir work;
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    int mode;
    int64_t zeroed;  // 3 samples in memory (modes 3, 5); a latitude (2, 3, 4), three coefficients (2, 4)
  } cases[] = {{2, 4}, {3, 4}, {4, 4}, {5, 3}};
  for (const Case& c : cases) {
    const int mode = c.mode;
    Loaded rec(work.dir().path(), "NF" + std::to_string(mode) + ".X01", 50);
    rec.samples[0][10] = std::numeric_limits<float>::infinity();
    rec.samples[1][11] = -std::numeric_limits<float>::infinity();
    rec.samples[2][12] = std::numeric_limits<float>::quiet_NaN();
    rec.s.Header.Latitude = kNaN;
    rec.s.FileChannels[1].Coef = kNaN;
    rec.s.FileChannels[2].Coef2 = -std::numeric_limits<double>::infinity();
    rec.s.FileChannels[0].Coef = 1e300;  // the loaders would not scale by it either
    toolkit::TFunk funk;
    const analysis::ExportResult r = ExportRecording(rec.s, rec.channels.data(), mode, funk);
    ASSERT_EQ(r.error, "") << mode;
    EXPECT_EQ(r.frames, 50u) << mode;
    EXPECT_EQ(r.zeroed, c.zeroed) << mode;
    const std::string text = Bytes(r.path);
    for (const char* word : {"inf", "nan", "INF", "NAN"}) EXPECT_EQ(text.find(word), std::string::npos) << mode;
    EXPECT_EQ(text.find("00000000000000000000"), std::string::npos) << mode;
    std::filesystem::remove(r.path);  // modes 2 to 4 share the name
  }
}

TEST(SelectionExportTest, FailuresAreReportedNotTakenForSuccess) {
  analysis_test::ScopedWorkDir work;
  toolkit::TFunk funk;
  {  // a size limit stops the writes: the message names the file
    Loaded rec(work.dir().path(), "big.rec", 40000);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const analysis::ExportResult r = ExportRecording(rec.s, rec.channels.data(), 0, funk);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(r.error.rfind("ошибка записи: " + r.path, 0), 0u) << r.error;
  }
  {  // a source cut short stops at the last whole frame
    Loaded rec(work.dir().path(), "cut.rec", 500);
    std::filesystem::resize_file(work.dir().File("cut.rec"), 120 + 72 * 3 + 12 * 100 + 6);
    const analysis::ExportResult r = ExportRecording(rec.s, rec.channels.data(), 0, funk);
    EXPECT_NE(r.error.find("записано кадров: 100"), std::string::npos) << r.error;
    EXPECT_EQ(std::filesystem::file_size(r.path), 120 + 72 * 3 + 12 * 100u);
  }
  {  // a FIFO at the recording's name is neither read nor waited on
    Loaded fifo(work.dir().path(), "fifo.rec", 50);
    std::filesystem::remove(work.dir().File("fifo.rec"));
    toolkit::SetFieldText(fifo.s.Header.Station, "FIFO");  // a name of its own
    analysis::ExportResult r;
    EXPECT_TRUE(support::FifoLeftUnread(work.dir().File("fifo.rec"),
                                        [&] { r = ExportRecording(fifo.s, fifo.channels.data(), 0, funk); }));
    EXPECT_EQ(r.error.rfind("wr: error open file from disk_2", 0), 0u) << r.error;
    // Nor is a link followed, even to a recording.
    std::filesystem::rename(work.dir().File("fifo.rec"), work.dir().File("fifo.was"));
    std::filesystem::create_symlink("cut.rec", work.dir().File("fifo.rec"));
    toolkit::SetFieldText(fifo.s.Header.Station, "LINK");
    r = ExportRecording(fifo.s, fifo.channels.data(), 0, funk);
    EXPECT_EQ(r.error.rfind("wr: error open file from disk_2", 0), 0u) << r.error;
  }
  Loaded rec(work.dir().path(), "src.rec", 50);
  {  // after a station read there is no one file to copy from
    toolkit::SetupRecord s = rec.s;
    s.StationMode = 1;
    for (int mode : {0, 2, 4}) EXPECT_EQ(ExportRecording(s, rec.channels.data(), mode, funk).error, "нет  файла");
  }
  {  // a rate of 0 stops at the header check
    toolkit::SetupRecord s = rec.s;
    s.Header.Rate = 0;
    const analysis::ExportResult r = ExportRecording(s, rec.channels.data(), 0, funk);
    EXPECT_NE(r.error, "");
    EXPECT_EQ(r.path, "");
  }
}

}  // namespace
