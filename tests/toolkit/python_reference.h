#pragma once
// Runs a short Python program with the suite's reference interpreter and returns its standard output,
// one string per line. Empty when the interpreter cannot be run.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace toolkit_test {

inline std::vector<std::string> RunPython(const std::string& name, const std::string& program) {
  const char* env = std::getenv("SUITE_PYTHON");
  const std::string python = env != nullptr && *env != '\0' ? env : "/usr/bin/python3";
  // Named per process: the same test runs under several time zones at once.
  const std::string script = name + "_" + std::to_string(::getpid()) + ".py";
  {
    std::ofstream out(script);
    out << program;
    out.close();
    if (!out) {
      std::remove(script.c_str());
      return {};
    }
  }
  std::vector<std::string> lines;
  const support::ChildResult run = support::RunChild({python, script}, true);
  std::remove(script.c_str());
  if (!run.ok()) return lines;
  std::string line;
  for (const char c : run.output) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  return lines;
}

}  // namespace toolkit_test
