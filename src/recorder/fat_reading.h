#pragma once
// The whole FAT reading of the main window's "FAT" button: line check, status and refusals, the work log,
// the page requests and their replies, the checks and decoding, and what the window shows afterwards.
// It runs on the calling thread and waits on the current tick counter.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "recorder/fat_decoder.h"
#include "recorder/fat_grid.h"
#include "recorder/status_block.h"

namespace recorder {

// The link operations the reading uses.
class FatLinkOps {
 public:
  virtual ~FatLinkOps() = default;
  // 0 when the line is quiet, else the bytes still waiting.
  virtual uint32_t Drain() = 0;
  // 0 done (the status is in `status`), else the wrapper's failure code.
  virtual uint8_t ReadStatus(StatusBlock& status) = 0;
  // True when the request could not be written.
  virtual bool RequestPages(uint32_t firstPage, uint16_t count) = 0;
  // Stops a page stream that is still running (the recorder streams every page asked for).
  virtual void StopStream() = 0;
  // One reception into `buffer` (at least 513 bytes): the body length + 1, or 0 when nothing came.
  virtual uint16_t Receive(uint8_t& type, uint8_t* buffer) = 0;
  // The account of the last exchange, for messages.
  virtual std::string Log() const = 0;
};

struct FatReadingResult;

// The window's services: message boxes and the Yes/No question.
struct FatReadingUi {
  enum class Icon { None, Error };
  std::function<void(const std::string& text, const std::string& title, Icon icon)> Message;
  std::function<bool(const std::string& text, const std::string& title)> AskYesNo;
  // Optional: shows the listing and the grid of a finished reading, before the advice boxes come up.
  std::function<void(const FatReadingResult& result)> ShowResult;
};

struct FatReadingOptions {
  std::string LogFileName;       // the work log, appended to
  uint32_t SampleClock = 0;      // Trecorder.SampleClock
  bool Detailed = false;         // "FAT подробно"
  bool WithCorrections = false;  // "с поправками"
};

struct FatReadingResult {
  bool Read = false;  // false: refused before reading; the table is as it was
  FatListing Listing;
  FatGrid Grid;
  bool BrokenNumbering = false;
  bool Capped = false;
  bool TimedOut = false;
};

inline constexpr uint32_t kFatPageWaitMs = 3000;
inline constexpr uint16_t kFatBatchPages = 256;

// Reads the FAT into `table`; `status` receives the status read at the start (the program's global copy).
FatReadingResult ReadFat(FatLinkOps& link, FatTable& table, StatusBlock& status,
                         const FatReadingOptions& options, const FatReadingUi& ui);

}  // namespace recorder
