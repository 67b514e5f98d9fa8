#include "viewer/directory_recordings.h"

#include <algorithm>
#include <filesystem>

#include "platform/output_file.h"
#include "toolkit/format_text.h"
#include "toolkit/start_ticks.h"

namespace viewer {

namespace fs = std::filesystem;

std::vector<std::string> RegularFileNames(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code entryEc;
    std::string name = it->path().filename().string();
    // A link is not followed, even to a recording: what is read is what lies in the folder.
    if (it->symlink_status(entryEc).type() == fs::file_type::regular && !entryEc &&
        !platform::IsOutputTemporaryName(name))
      names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool ReadCheckedMainHeader(std::FILE* f, toolkit::MAIN_HEADER& header) {
  if (toolkit::ReadMainHeader(f, header) != toolkit::HeaderIo::Ok) return false;
  std::string text;
  return toolkit::CheckMainHeader(header, text) == 0;
}

uint64_t OpenFileSize(std::FILE* f) {
  const long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return 0;
  const long end = std::ftell(f);
  std::fseek(f, here, SEEK_SET);
  return end < 0 ? 0 : static_cast<uint64_t>(end);
}

std::string DateTimeText1899(int64_t seconds) {
  const toolkit::CivilDateTime t = toolkit::CivilFromSeconds(seconds);
  return toolkit::FormatText("%02u.%02u.%04lld %02u:%02u:%02u", unsigned{t.Date.Day}, unsigned{t.Date.Month},
                             static_cast<long long>(t.Date.Year), unsigned{t.Time.Hour},
                             unsigned{t.Time.Minute}, unsigned{t.Time.Second});
}

std::string DateTimeTextOfTicks(int64_t ticks) {
  return DateTimeText1899(toolkit::SplitStartTicks(ticks).WholeSeconds);
}

}  // namespace viewer
