#pragma once
// What a download needs from the main window, copied on the GUI thread before the download starts: the
// download thread never reads a window control or a field of the main window while it runs.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "recorder/fat_table.h"
#include "recorder/file_entry.h"
#include "recorder/setup_block.h"

namespace acquisition {

struct DownloadSettings {
  // Files from the FAT (CB_fat ticked): every entry is a whole recorded file. Otherwise entry 0 is a
  // page range that may hold several recordings.
  bool FatMode = true;
  std::vector<recorder::FileEntry> SelFiles;
  // The FAT rows, FatFiles[i] = row i + 1 (range mode takes position and correction from them).
  std::array<recorder::FileEntry, recorder::kFatFileRows> FatFiles{};
  uint16_t ReadPortion = 4096;  // pages per request
  uint32_t SampleClock = 0;     // ticks per second of the recorder's sample clock
  uint16_t UnitId = 0;          // StatusBlock.Id: low byte number, high byte series
  std::string DataDir;          // the data files are created here
  recorder::YSTANOV Setup{};    // the main window's setup block
  uint8_t HighPassIndex = 0;    // CB_HF_U item: corner 0.05 x index Hz, 0 = no filter
  uint8_t FileMinutes = 0;      // UD_dl position: minutes a file, 0 = as long as allowed
  bool ShowSyncLines = false;   // P_dop visible: log each range-mode file's correction
  bool OldFormat = false;       // SB_format down: Format 1 instead of 60
};

// Appends a text to the work log as it stands (the texts carry their own line ends); false when the
// log could not take it.
using LogSink = std::function<bool(const std::string& text)>;

}  // namespace acquisition
