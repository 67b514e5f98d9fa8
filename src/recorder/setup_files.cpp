#include "recorder/setup_files.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/output_file.h"
#include "recorder/recorder_time.h"

namespace recorder {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool IsBlank(const char* line) {
  for (; *line; ++line) {
    if (!std::isspace(static_cast<unsigned char>(*line))) return false;
  }
  return true;
}

// The number at the start of a line, truncated to an integer; 0 when there is none or it is negative.
uint64_t LineNumber(const char* line) {
  const double v = std::strtod(line, nullptr);
  if (!(v > 0.0)) return 0;
  if (v >= 1.8e19) return UINT64_MAX;
  return static_cast<uint64_t>(std::trunc(v));
}

}  // namespace

const char* const kKalendFormatText =
    "пользуемся файлом  <unit_kalend>  типа:\n\n120406\n1520012\n1930111"
    "\n\nчто значит:\nстр1 - включать каждый день начиная с 12 апреля 2006г."
    "\nстр2 - в 15:20 на 12 мин\nстр3 - в 19:30 на 111 мин;";

bool SaveSetupFile(const YSTANOV& s, const std::string& path, std::string& error) {
  // Through a temporary file: the earlier file stays whole when the write fails, and a link is refused.
  platform::ReplacingFile out;
  platform::OutputError why;
  if (!out.Open(path, &why)) {
    error = "error create  FILE <" + path + ">";
    if (why.code == ELOOP || why.code == EINVAL) error += "\n" + why.text;
    return false;
  }
  if (std::fwrite(SetupBytes(s), 1, kSetupSize, out.get()) != kSetupSize || !out.Commit(&why)) {
    error = "error write  FILE <" + path + ">";
    return false;
  }
  return true;
}

bool LoadSetupFile(YSTANOV& s, const std::string& path, SetupFilePart part, std::string& error) {
  File f(platform::OpenForReading(path));  // a regular file only: a FIFO would hold the window up
  if (!f) {
    error = "error open  FILE <" + path + ">";
    return false;
  }
  auto loaded = std::make_unique<YSTANOV>();
  const size_t got = std::fread(SetupBytes(*loaded), 1, kSetupSize, f.get());
  const bool longer = std::fgetc(f.get()) != EOF;
  if (got != kSetupSize || longer) {
    error = "error size  FILE <" + path + ">";
    return false;
  }
  char station[sizeof s.Station];
  std::memcpy(station, s.Station, sizeof station);
  if (part == SetupFilePart::Whole) {
    s = *loaded;
  } else {
    std::memcpy(s.Calendar, loaded->Calendar, sizeof s.Calendar);
  }
  std::memcpy(s.Station, station, sizeof station);
  return true;
}

bool ReadKalendFile(const std::string& path, KalendFile& out, std::string& error) {
  File f(platform::OpenForReading(path));
  if (!f) {
    error = "Open error!";
    return false;
  }
  char line[256];
  if (std::fgets(line, sizeof line, f.get()) == nullptr) {
    error = "error read date!";
    return false;
  }
  const uint64_t d = LineNumber(line);
  KalendFile k;
  k.Day = static_cast<uint32_t>(d / 10000 > 99 ? 99 : d / 10000);
  k.Month = static_cast<uint32_t>(d % 10000 / 100);
  k.Year = static_cast<uint32_t>(2000 + d % 100);
  if (!IsValidDate(static_cast<int>(k.Year), static_cast<int>(k.Month), static_cast<int>(k.Day))) {
    error = "error data!";
    return false;
  }
  // Skip the rest of an over-long date line.
  while (std::strchr(line, '\n') == nullptr && std::fgets(line, sizeof line, f.get()) != nullptr) {
  }
  k.ReplyText = kKalendFormatText;
  char text[128];
  std::snprintf(text, sizeof text, "\n\n  а у Вас:  начиная с %02u:%02u:%02u  включать в:", k.Day, k.Month,
                k.Year);
  k.ReplyText += text;
  while (std::fgets(line, sizeof line, f.get()) != nullptr) {
    if (IsBlank(line)) continue;
    if (static_cast<int>(k.Lines.size()) == kKalendMaxLines) {
      k.Warning = "kalend: Больше 256 строк";
      break;
    }
    const uint64_t n = LineNumber(line);
    KalendLine entry;
    entry.Hour = static_cast<uint32_t>(n / 100000 > UINT32_MAX ? UINT32_MAX : n / 100000);
    entry.Minute = static_cast<uint32_t>(n % 100000 / 1000);
    entry.Minutes = static_cast<uint32_t>(n % 1000);
    k.Lines.push_back(entry);
    std::snprintf(text, sizeof text, "\n%02u:%02u:00   %u min ", entry.Hour, entry.Minute, entry.Minutes);
    k.ReplyText += text;
  }
  if (k.Lines.empty()) {
    error = "error read time!";
    return false;
  }
  out = std::move(k);
  return true;
}

std::vector<CalendarRow> GenerateCalendarRows(const KalendFile& k, int64_t nowUnit) {
  std::vector<CalendarRow> rows;
  if (k.Lines.empty() ||
      !IsValidDate(static_cast<int>(k.Year), static_cast<int>(k.Month), static_cast<int>(k.Day))) {
    return rows;
  }
  const int64_t start =
      UnitSecondsFromDate(static_cast<int>(k.Year), static_cast<int>(k.Month), static_cast<int>(k.Day));
  int64_t day = 0;
  if (nowUnit > start + kSecondsPerDay) {
    // Whole days before today hold only past periods unless a line reaches beyond its own day.
    int64_t longest = 0;
    for (const auto& line : k.Lines) {
      const int64_t at = static_cast<int64_t>(line.Hour) * 3600 + static_cast<int64_t>(line.Minute) * 60;
      if (at > longest) longest = at;
    }
    day = (nowUnit - start - longest) / kSecondsPerDay - 1;
    if (day < 0) day = 0;
  }
  // Days that begin past the recorder's clock hold no period it can keep.
  for (; start + day * kSecondsPerDay < int64_t{kFreeEntry}; ++day) {
    for (const auto& line : k.Lines) {
      const int64_t t = start + day * kSecondsPerDay + static_cast<int64_t>(line.Hour) * 3600 +
                        static_cast<int64_t>(line.Minute) * 60;
      if (t < nowUnit || t + int64_t{line.Minutes} * 60 >= int64_t{kFreeEntry}) continue;
      rows.push_back({t, line.Minutes});
      if (static_cast<int>(rows.size()) == kKalendMaxRows) return rows;
    }
  }
  return rows;
}

void CalendarFromRows(YSTANOV& s, const std::vector<CalendarRow>& rows) {
  for (int i = 0; i < kCalendarEntries; ++i) {
    CalendarEntry& e = s.Calendar[i];
    FreeEntry(e);
    if (i >= static_cast<int>(rows.size())) continue;
    const CalendarRow& r = rows[static_cast<size_t>(i)];
    const int64_t off = r.Start + int64_t{r.Minutes} * 60;
    if (r.Minutes == 0 || r.Start < 0 || off >= int64_t{kFreeEntry}) continue;
    e = {static_cast<uint32_t>(r.Start), static_cast<uint32_t>(off)};
  }
}

}  // namespace recorder
