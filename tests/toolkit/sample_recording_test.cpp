#include "toolkit/sample_recording.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "toolkit/recording_file.h"

namespace {

// A plot row labels its channel with the first 6 bytes of the name: the demonstration recording's
// channels must be told apart there.
TEST(SampleRecording, ChannelNamesDifferInTheirFirstSixCharacters) {
  support::TempDir dir;
  for (uint16_t channels : {3, 12}) {
    toolkit::SampleRecordingPlan plan;
    plan.channels = channels;
    plan.frames = 10;
    const std::string path = dir.File("demo" + std::to_string(channels));
    ASSERT_TRUE(toolkit::WriteSampleRecording(path, plan));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    toolkit::MAIN_HEADER header;
    std::vector<toolkit::CHANNEL_HEADER> headers(channels);
    const bool read = toolkit::ReadMainHeader(f, header) == toolkit::HeaderIo::Ok &&
                      toolkit::ReadChannelHeaders(f, headers) == toolkit::HeaderIo::Ok;
    std::fclose(f);
    ASSERT_TRUE(read);
    std::set<std::string> labels;
    for (const auto& h : headers) labels.insert(std::string(h.Name, 6).c_str());
    EXPECT_EQ(labels.size(), channels);
  }
}

}  // namespace
