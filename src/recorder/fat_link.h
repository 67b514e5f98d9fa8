#pragma once
// The FAT reading and the page range check over the recorder link and its command wrappers.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "recorder/fat_reading.h"
#include "recorder/page_range_check.h"
#include "recorder/unit_link.h"

namespace recorder {

class UnitLinkFatOps final : public FatLinkOps {
 public:
  explicit UnitLinkFatOps(UnitLink& link) : link_(link) {}
  uint32_t Drain() override;
  uint8_t ReadStatus(StatusBlock& status) override;
  bool RequestPages(uint32_t firstPage, uint16_t count) override;
  void StopStream() override;
  uint16_t Receive(uint8_t& type, uint8_t* buffer) override;
  std::string Log() const override { return link_.Log; }

 private:
  UnitLink& link_;
};

// Card pages one at a time; a page that does not arrive comes back empty, with the link's log.
class UnitLinkPageSource final : public CardPageSource {
 public:
  explicit UnitLinkPageSource(UnitLink& link) : link_(link) {}
  void Drain() override;
  std::optional<std::array<uint8_t, kCardPageSize>> ReadPage(uint32_t page, std::string& log) override;

 private:
  UnitLink& link_;
};

}  // namespace recorder
