#pragma once
// Runs a short Python program with the suite's reference interpreter and returns its standard output,
// one string per line. Empty when the interpreter cannot be run.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace toolkit_test {

inline std::vector<std::string> RunPython(const std::string& name, const std::string& program) {
  const char* env = std::getenv("SUITE_PYTHON");
  const std::string python = env != nullptr && *env != '\0' ? env : "/usr/bin/python3";
  // Named per process: the same test runs under several time zones at once.
  const std::string script = name + "_" + std::to_string(::getpid()) + ".py";
  {
    std::ofstream out(script);
    out << program;
  }
  std::vector<std::string> lines;
  FILE* p = ::popen((python + " " + script).c_str(), "r");
  if (p == nullptr) return lines;
  std::string line;
  for (int c; (c = std::fgetc(p)) != EOF;) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (::pclose(p) != 0) lines.clear();
  std::remove(script.c_str());
  return lines;
}

}  // namespace toolkit_test
