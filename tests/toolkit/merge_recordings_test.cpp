#include "toolkit/merge_recordings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/output_file.h"
#include "killed_writer.h"
#include "python_reference.h"
#include "support/file_size_limit.h"
#include "support/planted_fifo.h"
#include "support/temp_dir.h"
#include "toolkit/recording_chooser.h"
#include "toolkit/sample_recording.h"

namespace toolkit {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kTps = 256'000'000;
// 2026-03-14 10:20:30 counted from 1980-01-01.
constexpr int64_t kStart = (int64_t{16874} * 86400 + 10 * 3600 + 20 * 60 + 30) * kTps;

struct Pair {
  support::TempDir dir;
  std::unique_ptr<SetupRecord> a = std::make_unique<SetupRecord>(), b = std::make_unique<SetupRecord>();
  SideReading readA, readB;
  int usable = 0;

  Pair(const SampleRecordingPlan& planA, const SampleRecordingPlan& planB) {
    EXPECT_TRUE(WriteSampleRecording(dir.File("a.rec"), planA));
    EXPECT_TRUE(WriteSampleRecording(dir.File("b.rec"), planB));
    readA = ReadSide(dir.File("a.rec"), "a.rec", *a, 0);
    readB = ReadSide(dir.File("b.rec"), "b.rec", *b, a->Header.Rate);
    usable = readA.usable && readB.usable ? CheckPair(*a, readA.samples, *b, readB.samples, readB.lines) : 0;
  }
  MergeJob Job(bool byStart) const {
    MergeJob job;
    job.pathA = dir.File("a.rec");
    job.pathB = dir.File("b.rec");
    job.outPath = dir.File("out.rec");
    job.header = MergedHeader(a->Header, b->Header);
    job.channelsA.assign(a->FileChannels, a->FileChannels + a->Header.Channels);
    job.channelsB.assign(b->FileChannels, b->FileChannels + b->Header.Channels);
    job.samplesA = readA.samples;
    job.samplesB = readB.samples;
    job.span = PairSpan(a->Header, readA.samples, b->Header, readB.samples);
    job.byStart = byStart;
    return job;
  }
};

// Hidden temporaries of writers in `dir`.
size_t Temporaries(const std::string& dir) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(dir))
    n += platform::IsOutputTemporaryName(e.path().filename().string()) ? 1 : 0;
  return n;
}

std::string Reference(const Pair& p, bool byStart) {
  const char* src = std::getenv("SUITE_SOURCE_DIR");
  const std::string script = std::string(src != nullptr ? src : ".") + "/tests/toolkit/merge_reference.py";
  const auto lines = toolkit_test::RunPython(
      "merge_reference", "import runpy, sys\nsys.argv = ['x', '" + p.dir.File("a.rec") + "', '" +
                             p.dir.File("b.rec") + "', '" + p.dir.File("out.rec") + "', '" +
                             (byStart ? "start" : "time") + "']\nrunpy.run_path('" + script +
                             "', run_name='__main__')\n");
  return lines.empty() ? "no reference" : lines[0];
}

SampleRecordingPlan Plan(uint16_t channels, uint32_t frames, int64_t startTicks, uint16_t rate = 100) {
  SampleRecordingPlan plan;
  plan.channels = channels;
  plan.frames = frames;
  plan.startTicks = startTicks;
  plan.rate = rate;
  return plan;
}

TEST(MergeRecordingsTest, OutputMatchesTheNumpyReferenceByteForByte) {
  struct Case {
    const char* what;
    int64_t startB;
    uint32_t framesB;
    bool byStart;
    uint64_t frames;  // of the output
  };
  const std::vector<Case> cases = {
      {"B 10 s after A ends", kStart + 30 * kTps, 1500, false, 4500},
      {"overlap", kStart + 5 * kTps, 1500, false, 2000},
      {"B before A, off the grid", kStart - 40 * kTps - kTps / 300, 1000, false, 6001},
      {"by start, B first and longer", kStart - 5 * kTps, 40000, true, 2000},
      {"by time, B first and longer", kStart - 5 * kTps, 40000, false, 40000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Pair p(Plan(3, 2000, kStart), Plan(2, c.framesB, c.startB));
    ASSERT_EQ(p.usable, 1);
    const MergeOutcome out = MergeRecordings(p.Job(c.byStart));
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_EQ(out.message, "создан  файл  < out.rec > ");
    EXPECT_EQ(fs::file_size(p.dir.File("out.rec")), HeadersSize(5) + c.frames * 5 * 4);
    EXPECT_EQ(Reference(p, c.byStart), "same");
    EXPECT_TRUE(fs::exists(p.dir.File("2.txt")));
  }
  // A link planted at "2.txt" is not written through; the merge says so.
  Pair p(Plan(3, 2000, kStart), Plan(2, 1500, kStart));
  fs::create_symlink("elsewhere", p.dir.File("2.txt"));
  const MergeOutcome out = MergeRecordings(p.Job(false));
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.message, "создан  файл  < out.rec > \n" + platform::OutputErrorText(p.dir.File("2.txt"), ELOOP));
  EXPECT_FALSE(fs::exists(p.dir.File("elsewhere")));
}

TEST(MergeRecordingsTest, ReadSideListsTheFileAndRefusesWhatCannotBeMerged) {
  {
    Pair p(Plan(3, 2000, kStart), Plan(2, 1000, kStart + 30 * kTps));
    EXPECT_EQ(p.readA.lines.at(0), "a.rec");
    EXPECT_EQ(p.readA.lines.at(2), "из DEMO; каналов  3 ");
    EXPECT_EQ(p.readA.lines.at(3), "разрядов 24;   частота 100 Гц ");
    EXPECT_EQ(p.readA.lines.at(4), "длина записи  : 20.00000 сеk");
    EXPECT_EQ(p.readB.lines.back(), "разрыв: 10.000 сек /1000 т");
  }
  {
    Pair p(Plan(3, 2000, kStart), Plan(2, 1000, kStart, 200));
    EXPECT_EQ(p.usable, 0);
    EXPECT_EQ(p.readB.lines.back(), "error:    не совпадает частота");
  }
  {
    Pair p(Plan(40, 100, kStart), Plan(30, 100, kStart));
    EXPECT_EQ(p.usable, 0);
    EXPECT_EQ(p.readB.lines.back(), "error:    каналов 40 + 30, больше 64");
    const MergeOutcome out = MergeRecordings(p.Job(false));
    EXPECT_FALSE(out.ok);
    EXPECT_FALSE(fs::exists(p.dir.File("out.rec")));
  }
  {
    Pair p(Plan(3, 2000, kStart), Plan(2, 1000, kStart + 200000 * kTps));
    EXPECT_EQ(p.usable, 0);
    EXPECT_EQ(p.readB.lines.back(), "   ...  разрыв слишом большой");
  }
}

TEST(MergeRecordingsTest, FileShorterThanItsHeadersIsRefused) {
  support::TempDir dir;
  ASSERT_TRUE(WriteSampleRecording(dir.File("cut.rec"), Plan(8, 10, kStart)));
  fs::resize_file(dir.File("cut.rec"), HeadersSize(8) - 5);
  auto rec = std::make_unique<SetupRecord>();
  const SideReading r = ReadSide(dir.File("cut.rec"), "cut.rec", *rec, 0);
  EXPECT_EQ(r.usable, 0);
  EXPECT_EQ(r.lines, std::vector<std::string>{"Error read file  cut.rec"});
  // A FIFO or a link at the name is not read (nor waited on): the file does not open.
  SideReading fifo;
  EXPECT_TRUE(support::FifoLeftUnread(dir.File("fifo.rec"),
                                      [&] { fifo = ReadSide(dir.File("fifo.rec"), "fifo.rec", *rec, 0); }));
  EXPECT_EQ(fifo.lines, std::vector<std::string>{"Error open file fifo.rec"});
  fs::create_symlink("cut.rec", dir.File("link.rec"));
  EXPECT_EQ(ReadSide(dir.File("link.rec"), "link.rec", *rec, 0).lines,
            std::vector<std::string>{"Error open file link.rec"});
}

TEST(MergeRecordingsTest, FailedReadOrWriteRemovesThePartialOutput) {
  {
    Pair p(Plan(3, 20000, kStart), Plan(2, 20000, kStart));
    support::FileSizeLimit full(100000);
    const MergeOutcome out = MergeRecordings(p.Job(false));
    EXPECT_FALSE(out.ok);
    EXPECT_NE(out.message.find("не создан"), std::string::npos) << out.message;
    EXPECT_FALSE(fs::exists(p.dir.File("out.rec")));
  }
  {
    Pair p(Plan(3, 20000, kStart), Plan(2, 20000, kStart));
    EXPECT_FALSE(fs::exists(p.dir.File("out.rec")));
    fs::resize_file(p.dir.File("b.rec"), HeadersSize(2) + 8 * 15000);  // cut after it was read
    const MergeOutcome out = MergeRecordings(p.Job(false));
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.message, "Ошибка чтения файла " + p.dir.File("b.rec") + ": файл " + p.dir.File("out.rec") +
                               " не создан");
    EXPECT_FALSE(fs::exists(p.dir.File("out.rec")));
  }
  {
    // Killed at a chosen byte: the chooser lists no short recording and no name is taken; the next
    // merge in the folder takes the name and removes what the killed one left.
    Pair p(Plan(3, 20000, kStart), Plan(2, 20000, kStart));
    ASSERT_TRUE(toolkit_test::KilledAtByte(100000, [&] { MergeRecordings(p.Job(false)); }));
    auto setup = std::make_unique<SetupRecord>();
    std::vector<std::string> listed;
    for (const ChooserFile& f : ScanRecordings(p.dir.path(), *setup)) listed.push_back(f.name);
    EXPECT_EQ(listed, (std::vector<std::string>{"a.rec", "b.rec"}));
    EXPECT_FALSE(fs::exists(p.dir.File("out.rec")));
    EXPECT_EQ(Temporaries(p.dir.path()), 1u);
    const MergeOutcome again = MergeRecordings(p.Job(false));
    ASSERT_TRUE(again.ok) << again.message;
    EXPECT_EQ(fs::file_size(p.dir.File("out.rec")), HeadersSize(5) + 20000 * 5 * 4);
    EXPECT_EQ(Temporaries(p.dir.path()), 0u);
  }
}

TEST(MergeRecordingsTest, DefaultNameRaisesTheFirstCharacterWhileTakenBelow9) {
  support::TempDir dir;
  for (const char* n : {"11.rec", "21.rec", "8x", "9x", "a1.rec"}) std::ofstream(dir.File(n)) << "x";
  EXPECT_EQ(DefaultMergeName(dir.path(), "11.rec"), "31.rec");
  EXPECT_EQ(DefaultMergeName(dir.path(), "a1.rec"), "a1.rec");
  EXPECT_EQ(DefaultMergeName(dir.path(), "8x"), "9x");
  EXPECT_EQ(DefaultMergeName(dir.path(), "9x"), "9x");
  EXPECT_EQ(DefaultMergeName(dir.path(), "51.rec"), "51.rec");
  // A dangling link takes its name too, and the merge never creates a file through one.
  fs::create_symlink(dir.File("elsewhere"), dir.File("51.rec"));
  EXPECT_EQ(DefaultMergeName(dir.path(), "51.rec"), "61.rec");
  Pair p(Plan(1, 100, kStart), Plan(1, 100, kStart));
  fs::create_symlink(dir.File("elsewhere"), p.dir.File("out.rec"));
  const MergeOutcome out = MergeRecordings(p.Job(false));
  EXPECT_FALSE(out.ok);
  EXPECT_NE(out.message.find(p.dir.File("out.rec")), std::string::npos) << out.message;
  EXPECT_FALSE(fs::exists(dir.File("elsewhere")));
}

}  // namespace
}  // namespace toolkit
