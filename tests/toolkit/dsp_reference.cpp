#include "dsp_reference.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

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
  const std::string script = Env("SUITE_SOURCE_DIR", ".") + "/tests/toolkit/dsp_reference.py";
  const std::string command = Env("SUITE_PYTHON", "/usr/bin/python3") + " " + script + " " + arguments;
  const int rc = std::system(command.c_str());
  for (const std::string& path : Inputs()) std::remove(path.c_str());
  Inputs().clear();
  EXPECT_EQ(rc, 0) << command;
  return rc == 0;
}

}  // namespace dsptest
