#include "recorder/fat_link.h"

#include <cstring>

#include "recorder/frames.h"
#include "recorder/unit_commands.h"

namespace recorder {

uint32_t UnitLinkFatOps::Drain() { return link_.DrainMessages(); }

uint8_t UnitLinkFatOps::ReadStatus(StatusBlock& status) { return recorder::ReadStatus(link_, status); }

bool UnitLinkFatOps::RequestPages(uint32_t firstPage, uint16_t count) {
  return recorder::RequestPages(link_, firstPage, count);
}

// The stop command (mode 0) ends a page stream; its echo follows the last page sent.
void UnitLinkFatOps::StopStream() { SetTransmission(link_, kModeStop); }

uint16_t UnitLinkFatOps::Receive(uint8_t& type, uint8_t* buffer) {
  uint16_t error = 0;
  uint8_t code = 0;
  const uint16_t count = link_.ReceiveMessage(error, link_.Dropped, type, code, buffer);
  // The FAT reading takes a reply by its count: a bad body or a failed read is nothing usable.
  return error == kReceiveOk ? count : 0;
}

void UnitLinkPageSource::Drain() { link_.DrainMessages(); }

std::optional<std::array<uint8_t, kCardPageSize>> UnitLinkPageSource::ReadPage(uint32_t page,
                                                                               std::string& log) {
  if (ReadCardPage(link_, page) != kDone) {
    log = link_.Log;
    return std::nullopt;
  }
  std::array<uint8_t, kCardPageSize> bytes;
  std::memcpy(bytes.data(), link_.Buffer, bytes.size());
  return bytes;
}

}  // namespace recorder
