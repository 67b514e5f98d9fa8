#include "recorder/read_ang.h"

#include "platform/clock.h"
#include "recorder/frames.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"

namespace recorder {

read_ang::read_ang(UnitLink& link, CalShared& shared, uint8_t maxChannelsMinus1)
    : link_(link), shared_(shared), maxChannelsMinus1_(maxChannelsMinus1) {}

read_ang::~read_ang() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}

void read_ang::Start(std::function<void()> onTerminate) {
  onTerminate_ = std::move(onTerminate);
  thread_ = std::jthread([this](std::stop_token token) { Execute(token); });
}

void read_ang::Execute(std::stop_token token) {
  platform::Sleep(100);
  drainResult_ = link_.DrainMessages();
  uint32_t t0 = platform::GetTickCount();
  while (shared_.State() == kCalRunning) {
    if (token.stop_requested()) {
      shared_.End(kCalStopped);
      break;
    }
    if (platform::TicksSince(t0, platform::GetTickCount()) > kCalSilenceMs) {
      shared_.End(kCalNoData);
      break;
    }
    link_.Log.clear();
    uint16_t error = 0;
    uint16_t dropped = 0;
    uint8_t type = 0;
    uint8_t code = 0;
    const uint16_t count = link_.ReceiveMessage(error, dropped, type, code, link_.Buffer);
    if (count == 0 && error == kReceiveOk && dropped == 0) {
      platform::Sleep(10);
      continue;
    }
    if (error == kReceiveOk && shared_.Add(link_.Buffer, count, maxChannelsMinus1_))
      t0 = platform::GetTickCount();
  }
  SetTransmission(link_, kModeStop);
  if (onTerminate_) onTerminate_();
}

}  // namespace recorder
