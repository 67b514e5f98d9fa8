#include "acquisition/download_report.h"

#include <algorithm>

#include "toolkit/format_text.h"

namespace acquisition {

namespace {

// Lines listed of each kind; the rest is counted.
constexpr size_t kMostListed = 20;

void ListLines(std::string& out, const std::vector<std::string>& lines) {
  const size_t shown = std::min(lines.size(), kMostListed);
  for (size_t i = 0; i < shown; ++i) out += "\n   " + lines[i];
  if (lines.size() > shown) out += toolkit::FormatText("\n   ... и ещё %zu", lines.size() - shown);
}

}  // namespace

bool DownloadReport::Complete() const {
  return EndReason.empty() && LostPages == 0 && NotRead.empty() &&
         std::all_of(Files.begin(), Files.end(), [](const DownloadedFile& f) { return f.CutReason.empty(); });
}

std::string DownloadReportText(const DownloadReport& report) {
  std::string out = report.EndReason.empty() ? "Чтение закончено, но принято не всё."
                                             : "Чтение закончено раньше: " + report.EndReason;
  if (out.back() != '.') out += '.';
  std::vector<std::string> whole, cut;
  for (const DownloadedFile& f : report.Files) {
    if (f.CutReason.empty())
      whole.push_back(f.Name);
    else
      cut.push_back(f.Name + ": " + f.CutReason);
  }
  out += toolkit::FormatText("\n\nПолные файлы: %zu", whole.size());
  ListLines(out, whole);
  if (!cut.empty()) {
    out += toolkit::FormatText("\nНеполные файлы: %zu", cut.size());
    ListLines(out, cut);
  }
  if (!report.NotRead.empty()) {
    out += "\nНе прочитаны:";
    ListLines(out, report.NotRead);
  }
  if (report.LostPages != 0)
    out += toolkit::FormatText("\nНе принято страниц: %u (подробно в логе).", report.LostPages);
  return out;
}

}  // namespace acquisition
