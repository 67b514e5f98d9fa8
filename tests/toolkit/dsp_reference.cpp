#include "dsp_reference.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/child_process.h"

namespace dsptest {

namespace {

std::string Path(const std::string& tag) {
  static int serial = 0;
  return "dsp_" + std::to_string(getpid()) + "_" + std::to_string(serial++) + "_" + tag + ".f64";
}

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

std::vector<std::string>& Inputs() {
  static std::vector<std::string> paths;
  return paths;
}

}  // namespace

std::string WriteArray(const std::string& tag, const std::vector<double>& values) {
  const std::string path = Path(tag);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(values.data()),
            static_cast<std::streamsize>(values.size() * sizeof(double)));
  EXPECT_TRUE(out.good()) << path;
  Inputs().push_back(path);
  return path;
}

std::string OutputPath(const std::string& tag) { return Path(tag); }

std::vector<double> ReadArray(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  EXPECT_TRUE(in.good()) << path;
  const std::streamsize bytes = in.tellg();
  std::vector<double> values(bytes > 0 ? static_cast<size_t>(bytes) / sizeof(double) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(values.data()),
          static_cast<std::streamsize>(values.size() * sizeof(double)));
  in.close();
  std::remove(path.c_str());
  return values;
}

bool RunReference(const std::string& arguments) {
  // The script's arguments are the words of `arguments` (numbers and this file's own names, no blanks);
  // the script's path may hold any character, so nothing goes through a shell.
  std::vector<std::string> argv = {Env("SUITE_PYTHON", "/usr/bin/python3"),
                                   Env("SUITE_SOURCE_DIR", ".") + "/tests/toolkit/dsp_reference.py"};
  std::istringstream words(arguments);
  for (std::string w; words >> w;) argv.push_back(w);
  const support::ChildResult run = support::RunChild(argv);
  for (const std::string& path : Inputs()) std::remove(path.c_str());
  Inputs().clear();
  EXPECT_TRUE(run.ok()) << run.problem;
  return run.ok();
}

}  // namespace dsptest
