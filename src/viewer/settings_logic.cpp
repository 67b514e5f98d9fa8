#include "viewer/settings_logic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/output_file.h"
#include "toolkit/format_text.h"
#include "toolkit/parse_number.h"
#include "toolkit/recording_chooser.h"

namespace viewer {

using toolkit::SetupRecord;

int StartPage(uint16_t field) {
  switch (field) {
    case 1:
      return kPageSearch;
    case 2:
      return kPageTest;
    case 3:
      return kPageIntegral;
    case 4:
    case 5:
      return kPageStation;
    case 6:
      return kPageHeader;
    default:
      return kPageFile;
  }
}

bool NeedsReread(const SetupRecord& copy, const SetupRecord& live) {
  if (std::memcmp(copy.ChannelMap, live.ChannelMap, sizeof copy.ChannelMap) != 0) return true;
  if (toolkit::FieldText(copy.FileName) != toolkit::FieldText(live.FileName)) return true;
  return copy.UseCoefficients != live.UseCoefficients;
}

uint16_t LastFileChannel(const SetupRecord& setup) {
  const uint16_t channels = std::min<uint16_t>(setup.Header.Channels, toolkit::kMaxChannels);
  return channels > 0 ? static_cast<uint16_t>(channels - 1) : 0;
}

ChannelEntry ParseChannelEntry(std::string_view text, uint16_t last) {
  const double value = std::trunc(toolkit::ParseNumber(text));
  ChannelEntry entry;
  if (!(value >= 0.0)) return entry;  // below 0 (or not a number) is channel 0
  if (value > last) {
    entry.channel = last;
    entry.aboveLast = true;
    return entry;
  }
  entry.channel = static_cast<uint16_t>(value);
  return entry;
}

std::string ChannelTooHighText(uint16_t last) {
  return toolkit::FormatText("номер канала не более %d", int{last});
}

void ClampChannelMap(SetupRecord& setup) {
  const uint16_t last = LastFileChannel(setup);
  const int rows = std::min<int>(setup.LoadChannels, toolkit::kMaxChannels);
  for (int i = 0; i < rows; ++i) {
    if (setup.ChannelMap[i] > last) setup.ChannelMap[i] = last;
  }
}

uint16_t ClampPlotChannels(int value) {
  return static_cast<uint16_t>(std::clamp<int>(value, 1, toolkit::kMaxChannels));
}

namespace {
std::string BaseName(const std::string& path) { return std::filesystem::path(path).filename().string(); }
}  // namespace

void ReadFileHeaders(const std::string& path, FileHeaders& out) {
  out = FileHeaders{};
  out.path = path;
  std::FILE* f = platform::OpenForReading(path);
  if (f == nullptr) return;
  out.read = toolkit::ReadHeaders(f, out.main, out.channels) == toolkit::HeaderIo::Ok;
  std::fclose(f);
  if (!out.read) out.channels.clear();
}

std::string HeadersNotReadText(const FileHeaders& headers) {
  return toolkit::FormatText("Заголовки файла %s не прочитаны: сохранять нечего",
                             BaseName(headers.path).c_str());
}

HeaderRewrite RewriteFileHeaders(const FileHeaders& headers) {
  std::error_code ec;
  if (headers.path.empty() || !std::filesystem::exists(headers.path, ec)) return HeaderRewrite::NoFile;
  // Only headers read from this very file go back into it.
  if (!headers.read || headers.channels.size() != headers.main.Channels) return HeaderRewrite::NotRead;
  std::FILE* f = platform::OpenForUpdate(headers.path);
  if (f == nullptr) return HeaderRewrite::CannotOpen;
  toolkit::MAIN_HEADER present;
  if (toolkit::ReadMainHeader(f, present) != toolkit::HeaderIo::Ok || present.Channels != headers.main.Channels ||
      std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    return HeaderRewrite::Changed;
  }
  HeaderRewrite result = HeaderRewrite::Ok;
  if (toolkit::WriteMainHeader(f, headers.main) != toolkit::HeaderIo::Ok) {
    result = HeaderRewrite::MainHeaderShort;
  } else if (toolkit::WriteChannelHeaders(f, headers.channels) != toolkit::HeaderIo::Ok || std::fflush(f) != 0) {
    result = HeaderRewrite::ChannelHeaderShort;
  }
  if (std::fclose(f) != 0 && result == HeaderRewrite::Ok) result = HeaderRewrite::ChannelHeaderShort;
  return result;
}

std::string HeaderRewriteText(HeaderRewrite result, const FileHeaders& headers) {
  const std::string name = BaseName(headers.path);
  switch (result) {
    case HeaderRewrite::Ok:
      return {};
    case HeaderRewrite::NoFile:
      return toolkit::FormatText("Не могу записать заголовок! Нет файла %s", name.c_str());
    case HeaderRewrite::NotRead:
      return HeadersNotReadText(headers);
    case HeaderRewrite::Changed:
      return toolkit::FormatText("Файл %s изменился после чтения заголовков: заголовок не записан", name.c_str());
    case HeaderRewrite::CannotOpen:
      return toolkit::FormatText("Не могу записать заголовок! Нет доступа к файлу %s", name.c_str());
    case HeaderRewrite::MainHeaderShort:
      return toolkit::kMainHeaderWriteError;
    case HeaderRewrite::ChannelHeaderShort:
      return toolkit::kChannelHeaderWriteError;
  }
  return {};
}

}  // namespace viewer
