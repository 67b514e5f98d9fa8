#pragma once
// Two independent readings of a MiniSEED file for the export tests: libmseed's own reader and the
// repository's Python decoder (tests/support/mseed_decode.py). Header-only: the test programs that use
// it link libmseed through the toolkit.
#include <libmseed.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "toolkit/python_reference.h"

namespace support {

struct SeedTrace {
  bool ok = false;
  std::string error;
  std::string network, station, channel;
  int64_t startUs = 0;  // first sample, microseconds since 1970
  double rate = 0;
  std::vector<int32_t> samples;
  // Every record's length, encoding and byte order (libmseed reading only).
  int records = 0;
  bool allSteim1BigEndian4096 = true;
};

// libmseed: the file must hold exactly one continuous trace.
inline SeedTrace ReadWithLibmseed(const std::string& path) {
  SeedTrace t;
  MSRecord* msr = nullptr;
  int rv;
  while ((rv = ms_readmsr(&msr, path.c_str(), 0, nullptr, nullptr, 1, 0, 0)) == MS_NOERROR) {
    ++t.records;
    if (msr->reclen != 4096 || msr->encoding != DE_STEIM1 || msr->byteorder != 1)
      t.allSteim1BigEndian4096 = false;
  }
  ms_readmsr(&msr, nullptr, 0, nullptr, nullptr, 0, 0, 0);
  if (rv != MS_ENDOFFILE) {
    t.error = "ms_readmsr: " + std::to_string(rv);
    return t;
  }
  MSTraceGroup* group = nullptr;
  rv = ms_readtraces(&group, path.c_str(), 0, -1.0, -1.0, 0, 1, 1, 0);
  if (rv != MS_NOERROR || group == nullptr || group->numtraces != 1) {
    t.error =
        "ms_readtraces: " + std::to_string(rv) + ", traces " + std::to_string(group ? group->numtraces : -1);
    if (group != nullptr) mst_freegroup(&group);
    return t;
  }
  const MSTrace* m = group->traces;
  t.network = m->network;
  t.station = m->station;
  t.channel = m->channel;
  t.startUs = m->starttime;
  t.rate = m->samprate;
  if (m->sampletype == 'i') {
    const auto* d = static_cast<const int32_t*>(m->datasamples);
    t.samples.assign(d, d + m->numsamples);
    t.ok = true;
  } else {
    t.error = "sample type " + std::string(1, m->sampletype);
  }
  mst_freegroup(&group);
  return t;
}

// The Python decoder (fixed header, blockettes 1000/1001, Steim-1 frames with X0/Xn checked).
inline SeedTrace ReadWithPython(const std::string& path) {
  SeedTrace t;
  const char* src = std::getenv("SUITE_SOURCE_DIR");
  const std::string script = std::string(src != nullptr ? src : ".") + "/tests/support/mseed_decode.py";
  const std::string out = path + ".i32";
  const std::vector<std::string> lines = toolkit_test::RunPython(
      "mseed_decode", "import runpy, sys\nsys.argv = ['x', '" + path + "', '" + out + "']\nrunpy.run_path('" +
                          script + "', run_name='__main__')\n");
  if (lines.size() != 1 || lines[0].rfind("OK ", 0) != 0) {
    t.error = lines.empty() ? "no output" : lines[0];
    return t;
  }
  std::istringstream in(lines[0].substr(3));
  size_t count = 0;
  int records = 0, reclen = 0, encoding = 0, order = 0;
  in >> t.network >> t.station >> t.channel >> t.startUs >> t.rate >> count >> records >> reclen >>
      encoding >> order;
  t.records = records;
  t.allSteim1BigEndian4096 = reclen == 4096 && encoding == 10 && order == 1;
  t.samples.resize(count);
  std::ifstream bin(out, std::ios::binary);
  bin.read(reinterpret_cast<char*>(t.samples.data()), static_cast<std::streamsize>(count * sizeof(int32_t)));
  t.ok = bin.gcount() == static_cast<std::streamsize>(count * sizeof(int32_t));
  std::remove(out.c_str());
  return t;
}

}  // namespace support
