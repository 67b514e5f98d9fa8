#pragma once
// What the main window shows of a status block: the texts of the status panel and the rows of the
// status grid, computed without a window.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recorder/setup_block.h"
#include "recorder/status_block.h"

namespace recorder {

// The GPS receiver status text of `valid` (its low nibble).
std::string GpsStatusText(uint8_t valid);

// The status panel. Optional texts are left as they are when empty.
struct StatusPanelTexts {
  ChannelList Channels;  // the recorded channels (the main window's channel count and numbers)
  std::string L_Fr;
  std::string L_yc;
  std::string L_rd;  // emptied
  std::string L_dt;  // emptied
  std::string L_t_BK;
  std::string SB_id;
  std::string L_stat;
  std::string StatusCaption;  // BB_status
  bool CaptionRed = false;
  std::string L_kapt;
  std::optional<std::string> L_SIN;
  std::optional<std::string> L_cap;
  std::optional<std::string> StatusBar;
};

// The panel for `status`, with the sample rate, gains and first calendar entry of `setup`;
// `extraPanel` = the extra panel P_dop is visible.
StatusPanelTexts MakeStatusPanel(const StatusBlock& status, const YSTANOV& setup, bool extraPanel);

struct GridRow {
  std::string Name;
  std::string Value;
};

// The status grid: `detailed` (P_dop visible) gives 72 rows of raw fields, else 19 plain rows. Rows
// not written stay empty.
std::vector<GridRow> MakeStatusGrid(const StatusBlock& status, const YSTANOV& setup, uint32_t sampleClock,
                                    bool detailed);

inline constexpr int kDetailedGridRows = 72;
inline constexpr int kPlainGridRows = 19;

}  // namespace recorder
