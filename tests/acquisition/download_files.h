#pragma once
// A scratch directory per test and the reading back of recording data files with the toolkit reader.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "toolkit/recording_file.h"

namespace acquisition_test {

class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::current_path() /
            ("dl_" + std::string(info ? info->name() : "x") + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  std::string Path() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // File names in the directory, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// A full disk for the files this process writes: writes beyond `bytes` fail (EFBIG) while it lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &saved_), 0);
    rlimit small = saved_;
    small.rlim_cur = bytes;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

struct ReadBack {
  bool Ok = false;
  alignas(8) toolkit::MAIN_HEADER Main{};  // the packed fields at their natural alignment
  std::vector<toolkit::CHANNEL_HEADER> Channels;
  std::vector<int32_t> Samples;  // all frames, channel after channel
};

inline ReadBack ReadRecording(const std::string& path) {
  ReadBack r;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return r;
  if (toolkit::ReadHeaders(f, r.Main, r.Channels) == toolkit::HeaderIo::Ok) {
    int32_t v;
    while (std::fread(&v, sizeof v, 1, f) == 1) r.Samples.push_back(v);
    r.Ok = std::feof(f) != 0;
  }
  std::fclose(f);
  return r;
}

}  // namespace acquisition_test
