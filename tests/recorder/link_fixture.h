#pragma once
// A link to one emulated recorder on the test clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "recorder/unit_link.h"

namespace recorder::testing {

struct Reception {
  uint16_t count = 0;
  uint16_t error = 0;
  uint16_t dropped = 0;
  uint8_t type = 0;
  uint8_t code = 0;
  uint32_t elapsedMs = 0;
};

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() {
    link.Notices.Message = [this](const std::string& text, const std::string& caption, LinkNotices::Icon) {
      messages.push_back(caption + "|" + text);
    };
    link.Notices.Terminate = [this](int code) { exitCodes.push_back(code); };
  }

  void Open() {
    ASSERT_TRUE(link.ListDevices());
    ASSERT_GE(link.DeviceCount, 1u);
    link.Chosen = 0;
    ASSERT_TRUE(link.OpenLink());
    driver.ClearCalls();
  }

  emulator::Recorder& Unit() { return device.recorder; }

  Reception Receive() {
    Reception r;
    const uint32_t start = clock.GetTickCount();
    r.count = link.ReceiveMessage(r.error, r.dropped, r.type, r.code, link.Buffer);
    r.elapsedMs = clock.GetTickCount() - start;
    return r;
  }

  std::vector<uint8_t> BufferBytes(size_t n) const { return {link.Buffer, link.Buffer + n}; }

  platform::TestClock clock{5000};
  platform::ScopedClock scoped{clock};
  emulator::EmulatedDriver driver;
  emulator::EmulatedDevice& device = driver.Attach();
  UnitLink link{driver};
  std::vector<std::string> messages;
  std::vector<int> exitCodes;
};

}  // namespace recorder::testing
