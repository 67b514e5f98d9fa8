#include "toolkit/recording_chooser.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include "platform/output_file.h"
#include "toolkit/format_text.h"
#include "toolkit/header_info.h"
#include "toolkit/time_texts.h"

namespace toolkit {

namespace fs = std::filesystem;

namespace {

// Reads the main header at the start of `path`; false when the file cannot be opened or is shorter.
enum class HeadRead { Ok, CannotOpen, Short };
HeadRead ReadHead(const std::string& path, MAIN_HEADER& header, uint64_t* fileSize) {
  std::FILE* f = platform::OpenForReading(path);
  if (f == nullptr) return HeadRead::CannotOpen;
  const HeaderIo io = ReadMainHeader(f, header);
  if (fileSize != nullptr) {
    *fileSize = 0;
    if (std::fseek(f, 0, SEEK_END) == 0) {
      const long end = std::ftell(f);
      if (end > 0) *fileSize = static_cast<uint64_t>(end);
    }
  }
  std::fclose(f);
  return io == HeaderIo::Ok ? HeadRead::Ok : HeadRead::Short;
}

void AddStation(SetupRecord& setup, const MAIN_HEADER& header) {
  const std::string station = FieldText(header.Station);
  const int count = std::min<int>(setup.StationCount, kStationSlots);
  for (int i = 0; i < count; ++i) {
    if (FieldText(setup.Stations[i]) == station) return;
  }
  if (count >= kStationSlots) return;
  SetFieldText(setup.Stations[count], station);
  setup.StationCount = static_cast<uint16_t>(count + 1);
}

}  // namespace

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty() || (!name.empty() && name.front() == '/')) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string CurrentFilePath(const SetupRecord& setup) {
  return JoinPath(FieldText(setup.DataDir), FieldText(setup.FileName));
}

std::vector<ChooserFile> ScanRecordings(const std::string& dir, SetupRecord& setup) {
  std::memset(setup.Stations, 0, sizeof setup.Stations);
  setup.StationCount = 0;

  std::vector<ChooserFile> candidates;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code entryEc;
    // Only the folder's own files are listed: a link, even to a recording, is not followed.
    if (it->symlink_status(entryEc).type() != fs::file_type::regular || entryEc) continue;
    // A temporary left by a replacement killed midway is no recording, however whole it looks.
    if (platform::IsOutputTemporaryName(it->path().filename().string())) continue;
    const uint64_t size = it->file_size(entryEc);
    if (entryEc || size < kChooserMinFileSize) continue;
    const auto written = it->last_write_time(entryEc);
    ChooserFile file;
    file.name = it->path().filename().string();
    file.time =
        entryEc ? 0
                : std::chrono::duration_cast<std::chrono::nanoseconds>(written.time_since_epoch()).count();
    candidates.push_back(std::move(file));
  }
  // The directory's own order is arbitrary: the scan goes by name so that the listing repeats.
  std::sort(candidates.begin(), candidates.end(),
            [](const ChooserFile& a, const ChooserFile& b) { return a.name < b.name; });

  std::vector<ChooserFile> listed;
  for (ChooserFile& file : candidates) {
    bool bad = true;
    MAIN_HEADER header;
    if (ReadHead(JoinPath(dir, file.name), header, nullptr) == HeadRead::Ok) {
      std::string text;
      bad = CheckMainHeader(header, text) != 0;
      if (!bad) AddStation(setup, header);
    }
    if (setup.ChooserFilter == 1) bad = false;
    if (!bad && listed.size() < kChooserMaxFiles) listed.push_back(std::move(file));
  }
  return listed;
}

void SortRecordings(std::vector<ChooserFile>& files, uint16_t order) {
  if (order == 1) {
    std::stable_sort(files.begin(), files.end(),
                     [](const ChooserFile& a, const ChooserFile& b) { return a.name < b.name; });
  } else {
    std::stable_sort(files.begin(), files.end(),
                     [](const ChooserFile& a, const ChooserFile& b) { return a.time > b.time; });
  }
}

bool IsSelectedFile(const SetupRecord& setup, const std::string& name) {
  if (name.empty()) return false;
  for (const auto& slot : setup.SelectedFiles) {
    if (FieldText(slot) == name) return true;
  }
  return false;
}

std::string ChooserCountText(const std::string& dir, size_t files, unsigned stations) {
  return FormatText("%s:   найдено файлов  -  %zu;    станций %u;", dir.c_str(), files, stations);
}

bool FitsFileNameField(const std::string& name) { return name.size() < sizeof(SetupRecord::FileName); }
bool FitsDataDirField(const std::string& dir) { return dir.size() < sizeof(SetupRecord::DataDir); }

std::string FileNameTooLongText(const std::string& name) {
  return FormatText("Имя файла длиннее %zu знаков, выберите другой файл: %s",
                    sizeof(SetupRecord::FileName) - 1, name.c_str());
}

std::string DataDirTooLongText(const std::string& dir) {
  return FormatText("Путь к директории длиннее %zu знаков: %s", sizeof(SetupRecord::DataDir) - 1,
                    dir.c_str());
}

void StoreSelectedFiles(SetupRecord& setup, const std::vector<std::string>& names) {
  std::memset(setup.SelectedFiles, 0, sizeof setup.SelectedFiles);
  int count = 0;
  for (const std::string& name : names) {
    if (count >= kSelectedFileSlots) break;
    if (!FitsFileNameField(name)) continue;
    SetFieldText(setup.SelectedFiles[count], name);
    ++count;
  }
  setup.ChosenCount = static_cast<uint16_t>(count);
}

MarkedSummary SummariseMarkedFile(const std::string& path) {
  MarkedSummary summary;
  MAIN_HEADER header;
  uint64_t size = 0;
  switch (ReadHead(path, header, &size)) {
    case HeadRead::CannotOpen:
      summary.status = MarkedSummary::OpenFailed;
      return summary;
    case HeadRead::Short:
      summary.status = MarkedSummary::ReadFailed;
      return summary;
    case HeadRead::Ok:
      break;
  }
  std::string text;
  if (CheckMainHeader(header, text) != 0) {
    summary.status = MarkedSummary::BadHeader;
    return summary;
  }
  const uint64_t samples = SamplesPerChannel(size, header.Channels).value_or(0);
  summary.from = "от " + DateTimeText(header.StartTicks, 0.0);
  summary.to = "до " + DateTimeText(header.StartTicks, static_cast<double>(samples) / header.Rate);
  return summary;
}

FileHeaderResult ReadCurrentFileHeader(SetupRecord& setup) {
  FileHeaderResult out;
  const std::string name = FieldText(setup.FileName);
  if (name.empty()) return out;
  const std::string path = CurrentFilePath(setup);
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return out;
  MAIN_HEADER header;
  uint64_t size = 0;
  switch (ReadHead(path, header, &size)) {
    case HeadRead::CannotOpen:
      return out;
    case HeadRead::Short:
      out.readFailed = true;
      return out;
    case HeadRead::Ok:
      break;
  }
  out.lines.push_back(name);
  std::string text;
  if (CheckMainHeader(header, text) != 0) {
    out.lines.push_back(text);
    out.result = 1;
    return out;
  }
  const std::optional<uint64_t> samples = SamplesPerChannel(size, header.Channels);
  if (!samples) {
    out.lines.push_back(FormatText("файл короче своих заголовков (%d каналов)", int{header.Channels}));
    out.result = 1;
    return out;
  }
  setup.FileSamples =
      static_cast<uint32_t>(std::min<uint64_t>(*samples, std::numeric_limits<uint32_t>::max()));
  setup.Header = header;
  for (std::string& line : HeaderInfoLines(header)) out.lines.push_back(std::move(line));
  out.result = 0;
  return out;
}

}  // namespace toolkit
