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

// "515, 520..527": runs of following page numbers.
std::vector<std::string> PageRuns(const std::vector<uint32_t>& pages) {
  std::vector<std::string> runs;
  for (size_t i = 0; i < pages.size();) {
    size_t j = i;
    while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1) ++j;
    runs.push_back(j == i ? toolkit::FormatText("%u", pages[i])
                          : toolkit::FormatText("%u..%u", pages[i], pages[j]));
    i = j + 1;
  }
  return runs;
}

}  // namespace

bool DownloadReport::Complete() const {
  return EndReason.empty() && Lost.empty() && NotRead.empty() &&
         std::all_of(Files.begin(), Files.end(),
                     [](const DownloadedFile& f) { return f.CutReason.empty() && !f.UnitSetup; });
}

std::string DownloadReportText(const DownloadReport& report) {
  std::string out = report.EndReason.empty() ? "Чтение закончено, но принято не всё."
                                             : "Чтение закончено раньше: " + report.EndReason;
  if (out.back() != '.') out += '.';
  std::vector<std::string> whole, cut, unitSetup;
  for (const DownloadedFile& f : report.Files) {
    if (f.UnitSetup) unitSetup.push_back(f.Name);
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
  if (!unitSetup.empty()) {
    out += toolkit::FormatText("\nСтр. Setup не принята, в заголовке Setup Unit'a: %zu", unitSetup.size());
    ListLines(out, unitSetup);
  }
  if (!report.Lost.empty()) {
    const std::vector<std::string> runs = PageRuns(report.Lost);
    std::string pages;
    for (size_t i = 0; i < runs.size() && i < kMostListed; ++i) pages += (i ? ", " : "") + runs[i];
    if (runs.size() > kMostListed) pages += toolkit::FormatText(" ... и ещё %zu", runs.size() - kMostListed);
    out += toolkit::FormatText("\nНе принято страниц: %zu (подробно в логе): ", report.Lost.size()) + pages +
           ".";
  }
  return out;
}

}  // namespace acquisition
