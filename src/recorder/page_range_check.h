#pragma once
// The main window's begin/end page check ("начало/конец"): reads the two typed card pages and tells in
// the status bar what they hold and whether the pages between them fit the time of their headers.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recorder/card_page.h"

namespace recorder {

// Where the check gets its pages: the link in the program, a prepared card in tests.
class CardPageSource {
 public:
  virtual ~CardPageSource() = default;
  virtual void Drain() = 0;
  // The 512 bytes of card page `page`; nothing when it did not arrive, with the reason in `log`.
  virtual std::optional<std::array<uint8_t, kCardPageSize>> ReadPage(uint32_t page, std::string& log) = 0;
};

struct PageRangeInput {
  double TypedBegin = 0;  // the numbers in E_Beg_adr and E_Kon_adr
  double TypedEnd = 0;
  uint16_t FCmax = 0;
  uint8_t StatusChannels = 0;  // StatusBlock.Channels: the largest channels-minus-1 a header may hold
  uint32_t SampleClock = 0;
};

struct PageCheckMessage {
  std::string Text;
  std::string Title;  // empty: a plain message
};

struct PageRangeResult {
  bool Refused = false;                      // a typed page was refused; nothing was read past it
  std::optional<uint32_t> BegPage, EndPage;  // the pages taken (to store in the main window)
  std::string StatusText;                    // the status bar
  std::vector<PageCheckMessage> Messages;    // message boxes, in order
};

PageRangeResult CheckPageRange(const PageRangeInput& in, CardPageSource& source);

}  // namespace recorder
