#include "viewer/header_editor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/cp1251.h"
#include "toolkit/format_text.h"
#include "toolkit/parse_number.h"
#include "toolkit/start_ticks.h"
#include "toolkit/time_texts.h"
#include "viewer/channel_coefficients.h"

namespace viewer {

using toolkit::SetupRecord;

namespace {

constexpr size_t kStationBytes = 11;
constexpr size_t kNameBytes = 23;

// Stores text as Windows-1251 bytes, at most `limit` of them, NUL-terminated, the rest zeroed.
template <size_t N>
void StoreCp1251(char (&field)[N], const std::string& utf8, size_t limit) {
  static_assert(N > 0);
  std::string bytes = platform::Utf8ToCp1251(utf8);
  bytes.resize(std::min({bytes.size(), limit, N - 1}));
  std::memset(field, 0, N);
  std::memcpy(field, bytes.data(), bytes.size());
}

// The exact value of a plain decimal text (',' read as '.', blanks and '+' dropped).
double ExactDecimal(const std::string& text) {
  std::string s;
  for (char c : text) {
    if (c == ',') s.push_back('.');
    else if (c != ' ' && c != '+') s.push_back(c);
  }
  return std::strtod(s.c_str(), nullptr);
}

}  // namespace

bool IsPlainDecimal(const std::string& text) {
  bool digit = false;
  int separators = 0;
  int minus = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' || c == ',') {
      if (++separators > 1) return false;
    } else if (c == '-') {
      if (digit || separators > 0 || ++minus > 1) return false;
    } else if (c != ' ' && c != '+') {
      return false;
    }
  }
  return digit;
}

int HeaderChannelCount(const SetupRecord& setup) { return std::min<int>(setup.Header.Channels, 64); }

std::string CoefficientText(double coef) {
  const char* format = "%.4f";
  if (coef < 0.1) format = "%.6f";
  if (coef < 0.0005) format = "%.11f";
  return toolkit::FormatText(format, coef);
}

HeaderTexts ShowHeader(const toolkit::MAIN_HEADER& header, std::span<const toolkit::CHANNEL_HEADER> channels) {
  HeaderTexts t;
  // An older layout keeps its start in the date fields: the page shows what the check completes.
  toolkit::MAIN_HEADER h = header;
  if (std::string text; toolkit::CheckMainHeader(h, text) != 0) h = header;
  const size_t shown = std::min<size_t>(channels.size(), 64);
  for (size_t i = 0; i < shown; ++i) {
    t.Names.push_back(platform::FieldToUtf8(channels[i].Name));
    t.Coefficients.push_back(CoefficientText(channels[i].Coef));
  }
  t.Rate = toolkit::FormatText("%u", unsigned{h.Rate});
  t.Latitude = toolkit::FormatText("%.5f", h.Latitude);
  t.Longitude = toolkit::FormatText("%.5f", h.Longitude);
  t.Station = platform::FieldToUtf8(h.Station);
  const toolkit::TickInstant start = toolkit::SplitStartTicks(h.StartTicks);
  const toolkit::CivilDateTime c = start.Civil();
  t.Date = c.Date;
  t.Time = c.Time;
  t.Microseconds = toolkit::FormatText("%6d", static_cast<int>(start.Microseconds()));
  t.StartText = toolkit::DateTimeText(h.StartTicks, 0.0);
  return t;
}

HeaderFaults SaveHeader(toolkit::MAIN_HEADER& header, std::span<toolkit::CHANNEL_HEADER> channelHeaders,
                        const HeaderTexts& shown, const HeaderTexts& edited) {
  HeaderFaults faults;
  toolkit::MAIN_HEADER h = header;
  const int channels = static_cast<int>(std::min<size_t>(channelHeaders.size(), 64));

  // Start time: rebuilt only when one of its fields was changed.
  const bool timeChanged = edited.Date.Year != shown.Date.Year || edited.Date.Month != shown.Date.Month ||
                           edited.Date.Day != shown.Date.Day || edited.Time.Hour != shown.Time.Hour ||
                           edited.Time.Minute != shown.Time.Minute || edited.Time.Second != shown.Time.Second ||
                           edited.Microseconds != shown.Microseconds;
  if (timeChanged) {
    const double us = toolkit::ParseNumber(edited.Microseconds);
    if (!IsPlainDecimal(edited.Microseconds) || us < 0.0 || us >= 1e6) faults.Microseconds = true;
    const bool dateValid = toolkit::IsValidDate(edited.Date) && edited.Time.Hour < 24 && edited.Time.Minute < 60 &&
                           edited.Time.Second < 60 && toolkit::DaysFromCivil(edited.Date) >= toolkit::kDay1980;
    int64_t ticks = 0;
    if (!dateValid) {
      faults.Date = true;
    } else if (!faults.Microseconds) {
      const int64_t seconds = toolkit::SecondsSince1980(toolkit::CivilDateTime{edited.Date, edited.Time});
      if (!toolkit::StartTicksFromSeconds(seconds, toolkit::kDay1980, static_cast<int64_t>(us) * 256, ticks)) {
        faults.Date = true;
      }
    }
    if (!faults.Date && !faults.Microseconds) {
      h.StartTicks = ticks;
      const toolkit::TickInstant t = toolkit::SplitStartTicks(ticks);
      const toolkit::CivilDateTime c = t.Civil();
      h.Year = static_cast<uint16_t>(c.Date.Year);
      h.Month = static_cast<uint16_t>(c.Date.Month);
      h.Day = static_cast<uint16_t>(c.Date.Day);
      h.to = static_cast<double>(toolkit::SecondsOfDay(c.Time)) +
             static_cast<double>(t.Ticks) / static_cast<double>(toolkit::kStartTicksPerSecond);
      h.Format = 60;
    }
  }

  // A rate that no recording may have is never written, not even one the user left as it was.
  const double rate = toolkit::ParseNumber(edited.Rate) + 1e-7;
  if (!IsPlainDecimal(edited.Rate) || rate < kMinRate || rate >= kMaxRate + 1) {
    faults.Rate = true;
  } else if (const auto value = static_cast<uint16_t>(rate);
             edited.Rate != shown.Rate || (timeChanged && h.Rate != value)) {
    // A new start makes the header one of the current layout, whose rate field must hold the rate.
    h.Rate = value;
    h.dt = 1.0 / h.Rate;
  }
  if (edited.Latitude != shown.Latitude) h.Latitude = toolkit::ParseNumber(edited.Latitude);
  if (edited.Longitude != shown.Longitude) h.Longitude = toolkit::ParseNumber(edited.Longitude);
  if (edited.Station != shown.Station) StoreCp1251(h.Station, edited.Station, kStationBytes);

  std::vector<toolkit::CHANNEL_HEADER> files(channelHeaders.begin(), channelHeaders.begin() + channels);
  for (int i = 0; i < channels; ++i) {
    if (i < static_cast<int>(edited.Coefficients.size()) && i < static_cast<int>(shown.Coefficients.size()) &&
        edited.Coefficients[i] != shown.Coefficients[i]) {
      const double coef = IsPlainDecimal(edited.Coefficients[i]) ? ExactDecimal(edited.Coefficients[i]) : 0.0;
      if (coef == 0.0 || !UsableCoefficient(coef)) {
        faults.Coefficients.push_back(i);
      } else {
        files[i].Coef = coef;
      }
    }
    if (i < static_cast<int>(edited.Names.size()) && i < static_cast<int>(shown.Names.size()) &&
        edited.Names[i] != shown.Names[i]) {
      StoreCp1251(files[i].Name, edited.Names[i], kNameBytes);
    }
  }
  if (faults.Any()) return faults;
  header = h;
  std::copy(files.begin(), files.end(), channelHeaders.begin());
  return faults;
}

}  // namespace viewer
