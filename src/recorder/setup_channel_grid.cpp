#include "recorder/setup_channel_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/cp1251.h"
#include "toolkit/format_text.h"
#include "toolkit/parse_number.h"

namespace recorder {
namespace {

constexpr size_t kNameCharacters = 6;
constexpr double kSmallestCoefficient = 1e-10;

// The first `n` characters of a UTF-8 text.
std::string FirstCharacters(const std::string& text, size_t n) {
  size_t i = 0;
  for (size_t count = 0; i < text.size() && count < n; ++count) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return text.substr(0, i);
}

bool Blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

}  // namespace

int ChannelGridRows(const StatusBlock& status) { return std::min<int>(status.Channels + 1, kSetupChannels); }

std::string CoefficientText(float coefficient) {
  return toolkit::FormatText("%.11f", static_cast<double>(coefficient)).substr(0, 9);
}

std::vector<ChannelGridRow> ChannelGridFromSetup(const YSTANOV& s, int rows) {
  std::vector<ChannelGridRow> grid;
  for (int c = 0; c < std::clamp(rows, 0, kSetupChannels); ++c) {
    grid.push_back({platform::FieldToUtf8(s.ChannelNames[c]), CoefficientText(s.Coefficients[c]),
                    std::to_string(s.Thresholds[c]), ((s.ChannelMask >> c) & 1) != 0});
  }
  return grid;
}

GridRefusal StoreChannelGrid(YSTANOV& s, const std::vector<ChannelGridRow>& edited,
                             const std::vector<ChannelGridRow>& shown, int& marks) {
  const size_t rows = std::min<size_t>(edited.size(), kSetupChannels);
  float coefficients[kSetupChannels];
  uint16_t thresholds[kSetupChannels];
  std::memcpy(coefficients, s.Coefficients, sizeof coefficients);
  for (size_t c = 0; c < rows; ++c) {
    const ChannelGridRow& row = edited[c];
    if (c >= shown.size() || row.Coefficient != shown[c].Coefficient) {
      const double k = toolkit::ParseNumber(row.Coefficient);
      if (!(k >= kSmallestCoefficient) || k > 3.4e38) {
        return {"слишком малы  <коэффициенты>", "ERROR", static_cast<int>(c)};
      }
      coefficients[c] = static_cast<float>(k);
    }
    const double t = std::trunc(toolkit::ParseNumber(row.Threshold));
    if (!(t >= 1)) return {"Неправильный ввод критериев", "ERROR", static_cast<int>(c)};
    thresholds[c] = static_cast<uint16_t>(std::min(t, 65535.0));
  }

  uint8_t mask = 0;
  marks = 0;
  for (size_t c = 0; c < rows; ++c) {
    const ChannelGridRow& row = edited[c];
    if (row.Marked) {
      mask = static_cast<uint8_t>(mask | (1u << c));
      ++marks;
    }
    // A name left as it was keeps its bytes (whatever follows its end).
    if (c >= shown.size() || row.Name != shown[c].Name) {
      const std::string name =
          Blank(row.Name) ? std::string("name ?") : FirstCharacters(row.Name, kNameCharacters);
      std::memset(s.ChannelNames[c], 0, sizeof s.ChannelNames[c]);
      platform::Utf8ToField(name, s.ChannelNames[c], kNameCharacters + 1);
    }
    s.Thresholds[c] = thresholds[c];
    s.Coefficients[c] = coefficients[c];
  }
  s.ChannelMask = mask;
  s.ChannelCode = static_cast<uint8_t>(marks - 1);
  return {};
}

std::vector<int> NonZeroEntries(const uint16_t (&table)[8]) {
  std::vector<int> entries;
  for (int i = 0; i < 8; ++i)
    if (table[i] != 0) entries.push_back(i);
  return entries;
}

}  // namespace recorder
