#pragma once
// The channel grid of the setup editor: one row per channel of the recorder (at most eight) with its
// name, coefficient, threshold, gain and recording mark, and the store of an edited grid back into the
// setup block, all rows or none.
#include <cstdint>
#include <string>
#include <vector>

#include "recorder/setup_block.h"
#include "recorder/status_block.h"

namespace recorder {

inline constexpr int kSetupChannels = 8;

// Rows of the grid: StatusBlock.Channels + 1, but never more than the block has channels for.
int ChannelGridRows(const StatusBlock& status);

// A coefficient as the grid shows it: "%.11f" cut to 9 characters.
std::string CoefficientText(float coefficient);

struct ChannelGridRow {
  std::string Name;         // UTF-8
  std::string Coefficient;  // as shown or typed
  std::string Threshold;
  bool Marked = false;
};

std::vector<ChannelGridRow> ChannelGridFromSetup(const YSTANOV& s, int rows);

struct GridRefusal {
  std::string Text;  // empty: accepted
  std::string Caption;
  int Row = -1;  // the offending row (0-based)
};

// Stores the edited rows into the block: changed names (cut to 6 characters, "name ?" for an empty one),
// thresholds (at least 1, above 65535 stored as 65535), the mask and ChannelCode from the marks, and
// only those coefficients whose text differs from what `shown` held (untouched ones keep their stored
// value exactly). Every row is checked first; on a refusal nothing is stored. `marks` gets the count of
// marked rows when accepted.
GridRefusal StoreChannelGrid(YSTANOV& s, const std::vector<ChannelGridRow>& edited,
                             const std::vector<ChannelGridRow>& shown, int& marks);

// The indices of the non-zero entries of an eight-entry table (gains, rates), in table order: item i
// of a list that shows only those entries stands for table entry result[i].
std::vector<int> NonZeroEntries(const uint16_t (&table)[8]);

}  // namespace recorder
