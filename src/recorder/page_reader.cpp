#include "recorder/page_reader.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/clock.h"
#include "platform/cp1251.h"
#include "platform/output_file.h"
#include "recorder/card_page.h"
#include "recorder/card_sum.h"
#include "recorder/fat_reading.h"
#include "recorder/fat_record.h"
#include "recorder/recorder_time.h"
#include "toolkit/format_text.h"

namespace recorder {

namespace {

constexpr uint16_t kPageReplyBytes = 513;
constexpr uint8_t kPageTypeMask = 0xF0;
constexpr uint8_t kPageType = 0x20;

// A whole number within 0..255 in `base`, the whole text (blanks around it allowed).
std::optional<uint8_t> WholeByte(std::string_view text, int base) {
  std::string s(text);
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  s = s.substr(first, s.find_last_not_of(" \t") - first + 1);
  for (const char ch : s) {
    const auto u = static_cast<unsigned char>(ch);
    if (base == 16 ? !std::isxdigit(u) : !std::isdigit(u)) return std::nullopt;
  }
  errno = 0;
  char* end = nullptr;
  const unsigned long v = std::strtoul(s.c_str(), &end, base);
  if (errno != 0 || end == s.c_str() || *end != '\0' || v > 255) return std::nullopt;
  return static_cast<uint8_t>(v);
}

}  // namespace

std::string GridCellText(uint8_t byte, GridView view) {
  switch (view) {
    case GridView::Dec:
      return toolkit::FormatText("%u", unsigned{byte});
    case GridView::Hex:
      return toolkit::FormatText("%02x", unsigned{byte});
    case GridView::Text:
      break;
  }
  // The character of the recorder's code page; control bytes stay blank.
  if (byte < 0x20 || byte == 0x7F) return {};
  return platform::Cp1251ToUtf8(std::string(1, static_cast<char>(byte)));
}

std::string GridColumnTitle(int column) { return toolkit::FormatText("%02X", static_cast<unsigned>(column)); }

std::string GridRowTitle(int row) { return toolkit::FormatText("%02x", static_cast<unsigned>(row * 16) & 0xFFu); }

std::optional<size_t> ParseGridCells(const std::vector<std::string>& cells, GridView view, uint8_t* out) {
  if (view == GridView::Text) return 0;
  std::vector<uint8_t> bytes(cells.size());
  for (size_t i = 0; i < cells.size(); ++i) {
    const auto v = WholeByte(cells[i], view == GridView::Hex ? 16 : 10);
    if (!v) return i;
    bytes[i] = *v;
  }
  std::memcpy(out, bytes.data(), bytes.size());
  return std::nullopt;
}

std::string BadCellText(size_t index, std::string_view cell) {
  return toolkit::FormatText("неверное значение \"%.*s\" в байте %zu (строка %02zx, столбец %02zX): только 0..255",
                             static_cast<int>(cell.size()), cell.data(), index, (index / 16) * 16, index % 16);
}

std::optional<uint8_t> ParseFillByte(std::string_view text) {
  std::string s(text);
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  s = s.substr(first);
  const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  return WholeByte(hex ? std::string_view(s).substr(2) : std::string_view(s), hex ? 16 : 10);
}

uint8_t SetZeroSum(std::span<uint8_t, 512> page) {
  uint8_t sum = 0;
  for (size_t i = 0; i < 511; ++i) sum = static_cast<uint8_t>(sum + page[i]);
  page[511] = static_cast<uint8_t>(0x100 - sum);
  return page[511];
}

void FillConstant(std::span<uint8_t, 512> page, uint8_t value) {
  std::memset(page.data(), value, 511);
  SetZeroSum(page);
}

void FillRandom(std::span<uint8_t, 512> page, std::mt19937& random) {
  std::uniform_int_distribution<int> byte(0, 255);
  for (uint8_t& b : page) b = static_cast<uint8_t>(byte(random));
  SetZeroSum(page);
}

void FillPattern(std::span<uint8_t, 512> page) {
  for (size_t i = 0; i < page.size(); ++i) page[i] = (i % 16) < 8 ? 0x00 : 0xFF;
  SetZeroSum(page);
}

uint32_t NextStartPage(uint32_t start, uint32_t count, uint32_t received, bool inkPlus, bool inkMinus) {
  if (count != 1) return start + received;
  if (inkPlus) return start + 1;
  if (inkMinus) return start > 0 ? start - 1 : 0;
  return start;
}

std::vector<std::string> DecodePageLines(std::span<const uint8_t> page, const PageDecodeInput& in) {
  std::vector<std::string> lines{toolkit::FormatText("page -  %u", in.Page)};
  if (page.size() < kCardPageSize) return lines;
  if (in.Page < uint32_t{in.StPg} * 256u) {
    if (KindOfCardPage(page) == CardPageKind::Fat) {
      FatPointerRecord p;
      std::memcpy(&p, page.data(), sizeof p);
      lines.push_back(toolkit::FormatText("стр %u: Fl_N%03u; Pg_end %08u; Fat_pg 0x%04x;  %02x  %s", in.Page,
                                          unsigned{p.Number}, p.Page, unsigned{p.FatPage}, unsigned{page[8]},
                                          UnitTimeText(p.Time).c_str()));
    }
    return lines;
  }
  if (KindOfCardPage(page) == CardPageKind::SetupCopy) {
    const auto info = ReadSetupCopy(page);
    lines.push_back(toolkit::FormatText("Setup на стр. %u:  %u Гц; к %u; ", in.Page, info->Rate, info->Channels));
    return lines;
  }
  const auto h = DecodeDataPageHeader(page, in.StatusChannels, in.SampleClock);
  if (!h) {
    lines.push_back(toolkit::FormatText(" нет правильного заголовка на странице !! ; ks = %u;   kаналов = %u",
                                        unsigned{CardSum(page.first(kCardPageHeaderSize))}, unsigned{page[1]}));
    return lines;
  }
  lines.push_back(toolkit::FormatText("файл %u: %uГц; каналов %u; %.4fсек на стр;  %s;     Tик %04u;  FrMax %4u;",
                                      unsigned{h->Raw.FileNumber}, h->OutputRate, h->Channels,
                                      static_cast<double>(h->Span) / h->SampleClock, h->TimeText().c_str(),
                                      unsigned{h->Raw.Position}, h->SampleClock));
  return lines;
}

std::string PageRunRefusal(uint32_t start, uint32_t count, uint16_t fcMax) {
  const uint64_t limit = uint64_t{fcMax} * 4000u;
  if (uint64_t{start} + count > limit) return toolkit::FormatText("Max %llu", static_cast<unsigned long long>(limit));
  return {};
}

std::optional<uint32_t> ReceivePageRun(FatLinkOps& link, uint32_t start, uint32_t count,
                                       const PageRunCallbacks& callbacks) {
  if (link.RequestPages(start, static_cast<uint16_t>(count))) return std::nullopt;
  uint8_t buffer[1040];
  uint32_t n = 0;
  bool stopped = false;
  uint32_t since = platform::GetTickCount();
  while (n < count) {
    if (platform::TicksSince(since, platform::GetTickCount()) > kPageRunWaitMs) break;
    uint8_t type = 0xFF;
    const uint16_t got = link.Receive(type, buffer);
    if (got != kPageReplyBytes || (type & kPageTypeMask) != kPageType) continue;
    since = platform::GetTickCount();
    const bool go = !callbacks.OnPage || callbacks.OnPage(n, std::span<const uint8_t>(buffer, kCardPageSize));
    ++n;
    if (!go) {
      stopped = true;
      break;
    }
  }
  // The recorder sends every page asked for: the rest of an abandoned run is stopped and drained.
  if (stopped && n < count) {
    link.StopStream();
    link.Drain();
  }
  return n;
}

std::string DumpFileName(const std::string& dir, uint32_t start, uint32_t count) {
  return (std::filesystem::path(dir) / toolkit::FormatText("%09u.%04u", start, count)).string();
}

DumpResult DumpPages(FatLinkOps& link, const std::string& dir, uint32_t start, uint32_t count,
                     const std::function<void(uint32_t written)>& progress) {
  DumpResult out;
  out.FileName = DumpFileName(dir, start, count);
  // The pages go to a temporary file beside the dump: an earlier dump is replaced only by a whole one,
  // and never through a link.
  platform::ReplacingFile file;
  platform::OutputError openError;
  if (!file.Open(out.FileName, &openError)) {
    out.Messages.push_back("error open file для записи\n" + out.FileName + "\n" + openError.text);
    out.FileName.clear();
    return out;
  }
  out.Opened = true;
  std::FILE* f = file.get();
  bool writeFailed = false;
  PageRunCallbacks callbacks;
  callbacks.OnPage = [&](uint32_t, std::span<const uint8_t> page) {
    const size_t w = std::fwrite(page.data(), 1, page.size(), f);
    if (w == page.size() && std::fflush(f) == 0) {
      ++out.Written;
      if (progress) progress(out.Written);
      return true;
    }
    out.Messages.push_back(toolkit::FormatText("записано %zu байт из 512 на стр. %u", w, start + out.Written));
    writeFailed = true;
    return false;
  };
  const auto received = ReceivePageRun(link, start, count, callbacks);
  out.Requested = received.has_value();
  if (!out.Requested) out.Messages.push_back("Yct_uPG_for_reading_nPg_Card :  error ");
  out.TimedOut = out.Requested && !writeFailed && *received < count;
  if (out.TimedOut) out.Messages.push_back("выход по времени");
  // A failed write leaves the last page in doubt: cut the file to the whole pages known written.
  if (writeFailed && ::ftruncate(::fileno(f), static_cast<off_t>(uint64_t{out.Written} * kCardPageSize)) != 0) {
    out.Messages.push_back("ошибка закрытия файла " + out.FileName);
    out.Written = 0;
  }
  if (out.Written == 0) {
    file.Abandon();
    out.Messages.push_back("ни одной страницы не записано; файл " + out.FileName + " удалён");
    out.FileName.clear();
    return out;
  }
  platform::OutputError error;
  if (out.Written == count) {
    if (!file.Commit(&error)) {
      out.Messages.push_back("ошибка закрытия файла " + out.FileName + "\n" + error.text);
      out.FileName.clear();
      out.Written = 0;
    }
    return out;
  }
  // A partial dump is named for the pages it holds, beside (never over) an earlier dump of that name.
  const std::string real = file.CommitToFreeName(DumpFileName(dir, start, out.Written), &error);
  if (real.empty()) {
    out.Messages.push_back(toolkit::FormatText("записано страниц: %u из %u; файл ", out.Written, count) +
                           out.FileName + " не записан: " + error.text);
    out.FileName.clear();
    out.Written = 0;
    return out;
  }
  out.Messages.push_back(toolkit::FormatText("записано страниц: %u из %u; файл переименован в ", out.Written, count) +
                         real);
  out.FileName = real;
  return out;
}

}  // namespace recorder
