#pragma once
// An emulated recorder in transmission mode for the live reception tests: the test queues data blocks
// (built here byte by byte from the card page layout) with the pause before each, and the recorder's
// refill sends them down the line one at a time; status requests are answered with the device's
// status block and their times are kept.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "emulator/emulated_driver.h"
#include "emulator/page_line_faults.h"
#include "emulator/reply_frame.h"
#include "live_fixture.h"
#include "platform/clock.h"
#include "recorder/unit_link.h"

namespace acquisition::testing {

// A 512-byte live block: header bytes (mark, channels - 1, position, second, serial, file, values),
// 24-bit offset-binary samples from byte 16, byte 15 making the header and byte 511 the whole page
// sum to 0 with the seed 0x9D.
inline std::vector<uint8_t> LiveBlock(uint32_t second, uint16_t position, uint16_t serial, unsigned channels,
                                      const std::vector<int32_t>& values, uint8_t mark = 0x11) {
  std::vector<uint8_t> p(512, 0);
  p[0] = mark;
  p[1] = static_cast<uint8_t>(channels - 1);
  p[2] = position & 0xFF;
  p[3] = position >> 8;
  for (int i = 0; i < 4; ++i) p[4 + i] = static_cast<uint8_t>(second >> (8 * i));
  p[8] = serial & 0xFF;
  p[9] = serial >> 8;
  p[11] = static_cast<uint8_t>(values.size());
  for (size_t k = 0; k < values.size() && k < 165; ++k) {
    const uint32_t v = static_cast<uint32_t>(values[k] + 0x800000);
    p[16 + 3 * k] = v & 0xFF;
    p[17 + 3 * k] = (v >> 8) & 0xFF;
    p[18 + 3 * k] = (v >> 16) & 0xFF;
  }
  uint8_t sum = 0x9D;
  for (int i = 0; i < 15; ++i) sum = static_cast<uint8_t>(sum + p[i]);
  p[15] = static_cast<uint8_t>(-sum);
  sum = 0x9D;
  for (int i = 0; i < 511; ++i) sum = static_cast<uint8_t>(sum + p[i]);
  p[511] = static_cast<uint8_t>(-sum);
  return p;
}

class LiveStream : public ::testing::Test {
 protected:
  LiveStream() {
    device.recorder.Line().SetRate(0);
    device.recorder.SetRefill([this](emulator::Recorder& r) {
      if (queued.empty() && endless) {
        auto block = endless();
        if (!block.empty()) queued.push_back({std::move(block), 200});
      }
      if (queued.empty()) return;
      if (beforeBlock) beforeBlock();
      if (queued.front().gapMs) r.SendGap(queued.front().gapMs);
      const auto fault = spoil.find(sent++);
      if (fault == spoil.end()) {
        r.SendReply(0x24, 0, queued.front().bytes);
      } else {
        std::vector<uint8_t> frame;
        emulator::AppendReply(frame, 0x24, 0, queued.front().bytes.data(), queued.front().bytes.size());
        emulator::SendSpoiledFrame(r, frame, fault->second);
      }
      queued.pop_front();
    });
    device.recorder.SetHandler(2, 36, [this](emulator::Recorder& r, const emulator::Command&) {
      pollTicks.push_back(clock.GetTickCount());
      r.SendReply(2, 0, statusBody);
    });
    EXPECT_TRUE(link.ListDevices());
    link.Chosen = 0;
    EXPECT_TRUE(link.OpenLink());
  }

  void Queue(std::vector<uint8_t> block, uint32_t gapMs = 200) {
    queued.push_back({std::move(block), gapMs});
  }

  struct Item {
    std::vector<uint8_t> bytes;
    uint32_t gapMs;
  };
  platform::TestClock clock{5000};
  platform::ScopedClock scoped{clock};
  emulator::EmulatedDriver driver;
  emulator::EmulatedDevice& device = driver.Attach();
  recorder::UnitLink link{driver};
  std::deque<Item> queued;
  // Makes the next block when nothing is queued (runs on the thread that reads the link); nothing: the
  // recorder is silent.
  std::function<std::vector<uint8_t>()> endless;
  // Runs on the reading thread before each block goes out: a gate that holds the recorder's pace.
  std::function<void()> beforeBlock;
  // Blocks spoiled on the line, by their place in the stream from 0.
  std::map<uint32_t, std::vector<emulator::LineSpoil>> spoil;
  uint32_t sent = 0;
  std::vector<uint32_t> pollTicks;
  std::vector<uint8_t> statusBody = std::vector<uint8_t>(240, 0);
};

}  // namespace acquisition::testing
