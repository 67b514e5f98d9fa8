// sample_recording <file>: writes a small three-channel demonstration recording.
#include <cstdio>

#include "toolkit/sample_recording.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sample_recording <file>\n");
    return 2;
  }
  toolkit::SampleRecordingPlan plan;
  plan.startTicks = int64_t{1'481'000'000} * 256'000'000;
  if (!toolkit::WriteSampleRecording(argv[1], plan)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
