#include "recorder/session_texts.h"

#include <algorithm>
#include <filesystem>
#include <numbers>
#include <system_error>

#include "platform/cp1251.h"
#include "platform/output_folder.h"
#include "recorder/recorder_time.h"
#include "recorder/status_panel.h"
#include "toolkit/format_text.h"

namespace recorder {

using toolkit::FormatText;

std::string DataDirName(uint8_t series, uint8_t number) {
  return FormatText("Unit_%02x_%03u", unsigned{series}, unsigned{number});
}

std::string LogFileBaseName(uint8_t series, uint8_t number) {
  return FormatText("log_%02x_%03u.txt", unsigned{series}, unsigned{number});
}

std::string DataDirPath(const std::string& startDir, uint8_t series, uint8_t number) {
  return (std::filesystem::path(startDir) / DataDirName(series, number)).generic_string();
}

std::string LogFilePath(const std::string& dataDir, uint8_t series, uint8_t number) {
  return (std::filesystem::path(dataDir) / LogFileBaseName(series, number)).generic_string();
}

std::string PrepareDataDirectory(const std::string& dir) {
  std::error_code ec;
  const auto parent = std::filesystem::path(dir).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  // One that cannot be made shows when the log does not open and each file fails.
  return platform::FolderRefusalText("Папка данных", dir, platform::PrepareOutputFolder(dir));
}

std::string PcTimeText(const platform::UtcTime& t) {
  return DateTimeText(UnitSecondsFromUtc(t) + kUnitEpochFrom1899);
}

std::string PcClockCaption(const platform::UtcTime& t) { return "ПК   " + PcTimeText(t); }

std::string ChooserDeviceLine(uint32_t index, const ChooserDevice& d) {
  return FormatText("%u:   %20s  %20s;   0x%04x ", index, d.SerialNumber.c_str(), d.Description.c_str(),
                    d.LocId);
}

std::vector<std::string> ChooserLines(const std::vector<ChooserDevice>& devices) {
  std::vector<std::string> lines;
  lines.push_back(FormatText("%s:   %20s  %20s;   %s", "N", "SerNum", "Description", "лок.адр"));
  for (size_t i = 0; i < devices.size(); ++i)
    lines.push_back(ChooserDeviceLine(static_cast<uint32_t>(i), devices[i]));
  lines.push_back("                e  x  i  t ");
  return lines;
}

int32_t ChosenDevice(int line, size_t deviceCount) {
  const int64_t device = int64_t{line} - 1;
  return device >= 0 && device < static_cast<int64_t>(deviceCount) ? static_cast<int32_t>(device) : -1;
}

std::string FirmwareText(const uint8_t* body, size_t size, const std::string& description) {
  constexpr size_t kOffset = 338;
  const size_t length = description.compare(0, 5, "TK-41") == 0 ? 19 : 14;
  if (size <= kOffset) return " ";
  // It goes into the work log: one line of text, whatever the recorder sent.
  return platform::FieldToTextLine(reinterpret_cast<const char*>(body) + kOffset, std::min(length, size - kOffset)) +
         " ";
}

std::string MainCaption(const std::string& buildDate, const std::string& serial,
                        const std::string& description, const std::string& firmware) {
  return "   прог. от " + buildDate + ";    SerNum:  " + serial + ";   Descr: " + description + ";  " +
         firmware + ";";
}

std::string SessionStartLine(const std::string& buildDate, const std::string& buildTime,
                             const StatusBlock& status, const std::string& firmware,
                             const platform::UtcTime& pcTime) {
  return FormatText("  ПК( %s %s );   UNIT %03d(%02x) - %s;     начало в %s(пк)", buildDate.c_str(),
                    buildTime.c_str(), UnitNumber(status), UnitSeries(status), firmware.c_str(),
                    PcTimeText(pcTime).c_str());
}

std::string SessionSeparator() {
  return "\n\n\n\n       * *  * *  * *  * *  * *  * *  * *  * *  * *  * *  * *  * *  * *  * *  * *  * *";
}

std::string SessionEndLine(const platform::UtcTime& pcTime) {
  return "\n  *   конец:  T(ПК) - " + PcTimeText(pcTime);
}

std::string SessionGpsLine(const StatusBlock& status) {
  if ((status.Valid & 0x0F) != 0) return GpsStatusText(status.Valid);
  constexpr double kDegrees = 180.0 / std::numbers::pi;
  return FormatText("GPS: %s;  %.5f;  %.5f; ",
                    DateTimeText(int64_t{status.Time} + kUnitEpochFrom1899).c_str(),
                    double{status.LON} * kDegrees, double{status.LAT} * kDegrees);
}

std::vector<std::string> HighPassItems() {
  std::vector<std::string> items;
  for (int i = 0; i <= 10; ++i) items.push_back(FormatText(" %.2f Hz", 0.05 * i));
  return items;
}

std::string ReadPortionCaption(uint16_t readPortion, uint8_t language) {
  return language != 0 ? FormatText(" %d pages", int{readPortion})
                       : FormatText("буфер %d стр.", int{readPortion});
}

std::string FileLengthCaption(int minutes) {
  return minutes == 0 ? std::string(" весь файл") : FormatText(" файлы по %d мин.", minutes);
}

}  // namespace recorder
