#include "recorder/setup_block.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "recorder/recorder_time.h"
#include "toolkit/recording_file.h"

namespace recorder {
namespace {

constexpr size_t kDfBufferSize = 1040;

uint8_t SumOf(const uint8_t* bytes, size_t count) {
  uint32_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>(sum);
}

// The page check of page `n` as it lies in `page` (512 bytes), with `checks` the block's five check
// bytes from page 0.
uint8_t PageCheck(const uint8_t* page, int n, const uint8_t* checks) {
  uint8_t sum = SumOf(page, kSetupPageSize);
  if (n > 0) sum = static_cast<uint8_t>(sum + checks[n]);
  return sum;
}

}  // namespace

void FreeEntry(CalendarEntry& e) {
  e.On = kFreeEntry;
  e.Off = kFreeEntry;
}

std::string StationName(const YSTANOV& s) { return toolkit::FieldText(s.Station); }

std::string ChannelName(const YSTANOV& s, int channel) {
  if (channel < 0 || channel >= 8) return {};
  return toolkit::FieldText(s.ChannelNames[channel]);
}

uint8_t PageSum(const YSTANOV& s, int page) {
  if (page < 0 || page >= kSetupPages) return 0;
  return PageCheck(SetupBytes(s) + page * kSetupPageSize, page,
                   SetupBytes(s) + offsetof(YSTANOV, PageChecks));
}

void ComputePageChecks(YSTANOV& s) {
  for (int n = kSetupPages - 1; n >= 0; --n) {
    s.PageChecks[0] = 0;
    if (n > 0) s.PageChecks[n] = 0;
    const uint8_t sum = PageSum(s, n);
    s.PageChecks[n] = static_cast<uint8_t>(0u - sum);
  }
}

void UpdatePageZeroCheck(YSTANOV& s) {
  s.PageChecks[0] = 0;
  s.PageChecks[0] = static_cast<uint8_t>(0u - PageSum(s, 0));
}

uint8_t PagesNeeded(const YSTANOV& s) {
  int after = 1;  // index after the highest entry in use in 1..255
  for (int r = kCalendarEntries - 1; r >= 1; --r) {
    if (!IsFree(s.Calendar[r])) {
      after = r + 1;
      break;
    }
  }
  if (after > kCalendarEntries - 1) after = kCalendarEntries - 1;
  return static_cast<uint8_t>(after / kEntriesPerPage + 2);
}

bool SameCalendarBook(const YSTANOV& a, const YSTANOV& b) {
  return a.PageCount == b.PageCount && std::memcmp(a.PageChecks + 1, b.PageChecks + 1, kSetupPages - 1) == 0;
}

bool ReadSetupPages(YSTANOV& s, const DfPageIo& io, SetupMessage& message) {
  auto copy = std::make_unique<YSTANOV>(s);
  uint8_t* bytes = SetupBytes(*copy);
  uint8_t buffer[kDfBufferSize];
  for (int n = 0; n < kSetupPages; ++n) {
    std::memset(buffer, 0, sizeof buffer);
    if (io(0, static_cast<uint8_t>(n), buffer) != 0) {
      message = {"ошибка чтения стр. " + std::to_string(n), "", false};
      return false;
    }
    std::memcpy(bytes + n * kSetupPageSize, buffer, kSetupPageSize);
    const uint8_t sum = PageCheck(buffer, n, copy->PageChecks);
    if (sum != 0) {
      char text[64];
      std::snprintf(text, sizeof text, "ошибка на стр. %d: ks = 0x%02X", n, sum);
      message = {text, "Error", true};
      return false;
    }
    if (n + 1 == copy->PageCount) break;
  }
  const int pageCount = copy->PageCount;
  if (pageCount >= 1 && pageCount <= kSetupPages) {
    for (int r = (pageCount - 1) * kEntriesPerPage; r < kCalendarEntries; ++r) FreeEntry(copy->Calendar[r]);
  }
  s = *copy;
  return true;
}

bool WriteSetupPages(YSTANOV& s, const DfPageIo& io, SetupMessage& message,
                     const std::function<void(int, int)>& progress) {
  s.Marker = kSetupMarker;
  s.PageCount = PagesNeeded(s);
  const int calendarPages = s.PageCount - 1;
  ComputePageChecks(s);
  uint8_t buffer[kDfBufferSize];
  for (int n = 0; n <= calendarPages; ++n) {
    if (progress) progress(n + 1, calendarPages + 2);
    std::memset(buffer, 0, sizeof buffer);
    std::memcpy(buffer, SetupBytes(s) + n * kSetupPageSize, kSetupPageSize);
    if (io(1, static_cast<uint8_t>(n), buffer) != 0) {
      message = {"ошибка на стр. " + std::to_string(n), "", false};
      return false;
    }
  }
  return true;
}

platform::UtcTime DefaultSetup(YSTANOV& s, const StatusBlock& status, uint8_t& channelCount) {
  std::memset(&s, 0, sizeof s);
  const platform::UtcTime now = platform::CurrentClock().NowUtc();
  const int64_t nowUnit = UnitSecondsFromUtc(now);
  int64_t reference = nowUnit - (nowUnit % 300 + 300) % 300;  // minutes down to a multiple of 5, second 0
  const int64_t g = reference + 540;
  for (auto& e : s.Calendar) FreeEntry(e);
  for (int i = 0; i < 5; ++i) {
    s.Calendar[i].On = static_cast<uint32_t>(g - 1200 + 600 * i);
    s.Calendar[i].Off = s.Calendar[i].On + 180;
  }
  std::snprintf(s.Station, sizeof s.Station, "U%04xV", static_cast<unsigned>(status.Id));
  s.GpsIntervalIndex = 0;
  std::memset(s.Filler, 0x77, sizeof s.Filler);
  for (int c = 0; c < 8; ++c) {
    std::snprintf(s.ChannelNames[c], sizeof s.ChannelNames[c], "K%02d", c);
    s.Thresholds[c] = 0x4000;
    s.Coefficients[c] = 1.0f;
    for (int g8 = 0; g8 < 8; ++g8) s.ZeroOffsets[8 * g8 + c] = (static_cast<uint32_t>(c) << 24) + 0x800000;
    s.K_yc[c] = 1;
  }
  s.Language = 0;
  s.FileMinutes = 0;
  s.EventWindow = 20;
  s.RecordFlags = 0;
  s.EventChannels = channelCount;
  s.Reserved330 = 0;
  s.HighPassIndex = 0;
  s.SmoothPoints = 3;
  s.Latitude = 0.0;
  s.Longitude = 0.0;
  s.ChartCompression = 5;
  s.FatStart = 16;
  s.DataStart = 64;
  s.SampleRate = status.Freq[1] != 0 ? status.Freq[1] : status.Freq[0];
  s.Marker = kSetupMarker;
  s.ChannelCode = status.Channels;
  channelCount = static_cast<uint8_t>(status.Channels + 1);
  s.ChannelMask = status.Channels == 5 ? 63 : 7;
  return UtcFromUnitSeconds(reference);
}

}  // namespace recorder
