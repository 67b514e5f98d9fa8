#include "recorder/work_log.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace recorder {
namespace {

namespace fs = std::filesystem;

class WorkLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("work_log_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    log.SetFailureNotice([this](const std::string& m) { notices.push_back(m); });
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir;
  WorkLog log;
  std::vector<std::string> notices;
};

TEST_F(WorkLogTest, EachLineIsAppendedWithANewlineToWhatTheFileHeld) {
  const fs::path file = dir / "log_01_005.txt";
  std::ofstream(file) << "earlier session\n";
  log.SetFileName(file.string());
  EXPECT_TRUE(log.Write("\nstop;\n"));
  EXPECT_TRUE(log.Write("второй"));
  EXPECT_TRUE(log.Append("no newline"));
  EXPECT_EQ(Contents(file), "earlier session\n\nstop;\n\nвторой\nno newline");
  EXPECT_TRUE(notices.empty());
}

TEST_F(WorkLogTest, ALogThatCannotBeOpenedTellsEveryLineAndGoesOn) {
  // Root may write anywhere it has permission bits for, so a path below a plain file stands in for
  // a medium that refuses the log.
  std::ofstream(dir / "plain") << "x";
  const std::string file = (dir / "plain" / "log.txt").string();
  log.SetFileName(file);
  EXPECT_FALSE(log.Write("one"));
  EXPECT_FALSE(log.Write("two"));
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0], " не открылся лог-file  < " + file + " > !");
  // Append reports to its caller only.
  EXPECT_FALSE(log.Append("three"));
  EXPECT_EQ(notices.size(), 2u);
}

TEST_F(WorkLogTest, ALinkAtTheLogsNameIsNotFollowed) {
  std::ofstream(dir / "target") << "precious";
  fs::create_symlink(dir / "target", dir / "log.txt");
  log.SetFileName((dir / "log.txt").string());
  EXPECT_FALSE(log.Write("line"));
  EXPECT_EQ(Contents(dir / "target"), "precious");
  EXPECT_EQ(notices.size(), 1u);
}

TEST_F(WorkLogTest, NoFileNameYetIsAFailureToo) {
  EXPECT_FALSE(log.Write("before the session"));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], WorkLog::OpenFailureText(""));
  // No file because its folder was refused: the refusal is told once, not a nameless failure a line.
  const std::string why = "Папка данных /data/Unit_1a_005 — символическая ссылка; файлы в неё не пишутся";
  log.SetRefusedFolder(why);
  EXPECT_FALSE(log.Write("one"));
  EXPECT_FALSE(log.Write("two"));
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[1], why);
  log.SetFileName((dir / "log.txt").string());
  EXPECT_TRUE(log.Write("three"));
  EXPECT_EQ(notices.size(), 2u);
}

TEST_F(WorkLogTest, AFullDiskIsReportedAsAFailedWrite) {
  // A file-size limit makes the medium full after a few bytes.
  const fs::path file = dir / "log.txt";
  log.SetFileName(file.string());
  ASSERT_TRUE(log.Write("fits"));
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = log.Write(std::string(100, 'x'));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], " не записался лог-file  < " + file.string() + " > !");
}

TEST_F(WorkLogTest, LinesFromManyThreadsStayWhole) {
  const fs::path file = dir / "log.txt";
  log.SetFileName(file.string());
  constexpr int kThreads = 8;
  constexpr int kLines = 200;
  const std::string body(300, 'x');  // longer than one small write, so interleaving would show
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; i < kLines; ++i) log.Write(std::to_string(t) + ":" + body + ":" + std::to_string(i));
      });
    }
  }
  std::ifstream in(file);
  std::string line;
  std::vector<int> next(kThreads, 0);
  int count = 0;
  while (std::getline(in, line)) {
    const size_t a = line.find(':');
    const size_t b = line.rfind(':');
    ASSERT_NE(a, b) << line;
    ASSERT_EQ(line.substr(a + 1, b - a - 1), body);
    const int t = std::stoi(line.substr(0, a));
    ASSERT_EQ(std::stoi(line.substr(b + 1)), next[t]++) << "lines of one thread keep their order";
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
  EXPECT_TRUE(notices.empty());
}

TEST_F(WorkLogTest, TheNoticeMayWriteToTheLogItself) {
  // A notice that logs (as a message box shown through the GUI thread may cause) must not deadlock.
  log.SetFileName("");
  int calls = 0;
  log.SetFailureNotice([&](const std::string&) {
    if (++calls == 1) log.Write("from the notice");
  });
  EXPECT_FALSE(log.Write("first"));
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace recorder
