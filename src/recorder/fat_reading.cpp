#include "recorder/fat_reading.h"

#include <cstdio>
#include <memory>

#include "platform/clock.h"
#include "platform/output_file.h"
#include "recorder/card_page.h"
#include "toolkit/format_text.h"

namespace recorder {

namespace {

constexpr uint8_t kAdcOnOrWaiting = kRgAdcOn | kRgWaiting;
constexpr uint16_t kPageReplyCount = 513;
constexpr uint16_t kAckReplyCount = 3;
constexpr uint8_t kPageTypeBits = 0x60;

using Icon = FatReadingUi::Icon;

// Drains; when two drains in a row leave data, warns and drains a third time. True when the line fell
// quiet.
bool CheckLine(FatLinkOps& link, const FatReadingUi& ui, const char* warning) {
  if (link.Drain() != 0 && link.Drain() != 0) {
    ui.Message(warning, "Error", Icon::None);
    return link.Drain() == 0;
  }
  return true;
}

// A line that does not fall quiet still streams pages (a download that ended early, a transmission):
// they would be taken for the FAT pages asked for. The stream is stopped and the line drained again.
bool QuietLine(FatLinkOps& link) {
  link.StopStream();
  return link.Drain() == 0;
}

constexpr const char* kBusyLine = "Unit передаёт данные и не останавливается: FAT не прочитан.";

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

FatReadingResult ReadFat(FatLinkOps& link, FatTable& table, StatusBlock& status,
                         const FatReadingOptions& options, const FatReadingUi& ui) {
  FatReadingResult out;
  if (!CheckLine(link, ui, "повтор очистки буфера!") && !QuietLine(link)) {
    ui.Message(kBusyLine, "Error", Icon::Error);
    return out;
  }

  if (link.ReadStatus(status) != 0) {
    ui.Message(link.Log(), "нет связи или Unit не включен!", Icon::Error);
    return out;
  }
  if (status.sysRG & kAdcOnOrWaiting) {
    ui.Message("В Unite включено АЦП", "н е л ь з я !", Icon::None);
    return out;
  }
  if (!(status.sysRG & kRgCardPresent)) {
    ui.Message("В Unite нет карты;", "Error", Icon::None);
    return out;
  }
  if (status.ST_PG <= status.FT_PG) {
    ui.Message(toolkit::FormatText("Нет FAT'а на карте: FT_PG = %u, ST_PG = %u;", unsigned{status.FT_PG},
                                   unsigned{status.ST_PG}),
               "Error", Icon::Error);
    return out;
  }

  std::unique_ptr<std::FILE, FileCloser> log(platform::OpenForAppend(options.LogFileName));
  if (!log) {
    // Nothing has been asked of the recorder yet: the message, and the window goes on.
    ui.Message("не открылся лог-file!", "Error", Icon::Error);
    return out;
  }
  bool logFailed = std::fputs("\nчтение FATа: \n", log.get()) < 0;

  // Only a quiet line brings the pages asked for and nothing before them.
  if (link.Drain() != 0 && !QuietLine(link)) {
    ui.Message(kBusyLine, "Error", Icon::Error);
    return out;
  }
  FatDecoder decoder(
      table, FatParamsFromStatus(status, options.SampleClock, options.Detailed, options.WithCorrections));
  decoder.Begin();
  out.Read = true;

  const uint32_t first = decoder.FirstPage();
  const uint32_t total = decoder.PageCount();
  uint8_t buffer[1040];
  uint32_t m = 0;
  bool ended = false;
  const auto ask = [&ui](const std::string& text, const std::string& title) {
    return ui.AskYesNo(text, title);
  };
  uint32_t inBatch = 0;
  while (!ended && m < total) {
    link.RequestPages(first + m, kFatBatchPages);  // a lost request ends in the time-out below
    inBatch = 0;
    uint32_t since = platform::GetTickCount();
    while (!ended && inBatch < kFatBatchPages && m < total) {
      if (platform::TicksSince(since, platform::GetTickCount()) > kFatPageWaitMs) {
        const std::string text = toolkit::FormatText("Выход по времени на стр. %u", first + m);
        decoder.Listing().List(text);
        logFailed |= std::fprintf(log.get(), "%s\n", text.c_str()) < 0;
        out.TimedOut = true;
        ended = true;
        break;
      }
      uint8_t type = 0xFF;
      const uint16_t count = link.Receive(type, buffer);
      if (count == kAckReplyCount && (type & 0x0F) == 4) {
        decoder.Listing().List(toolkit::FormatText("com == 4  &&  N == 3   на стр. %u", first + m));
      } else if (count == kPageReplyCount && (type & kPageTypeBits)) {
        const std::span<const uint8_t> page(buffer, kCardPageSize);
        const uint32_t cardPage = first + m;
        if (!decoder.AcceptPage(cardPage, page) || !decoder.DecodePage(cardPage, page, ask)) ended = true;
        ++m;
        ++inBatch;
        since = platform::GetTickCount();
      }
    }
  }

  // The FAT ends on its first empty page, long before the batch does, and the recorder sends every page
  // it was asked for: 254 more pages would keep the line busy for seconds. Stop them first, so that the
  // drain finds the line quiet. A batch that fell silent is not stopped: nobody would answer.
  if (ended && !out.TimedOut && inBatch < kFatBatchPages) link.StopStream();
  CheckLine(link, ui, "повтор очистки буфера после чтения FAT'a!");
  logFailed |= std::fprintf(log.get(), "\n%s\n           F A T:\n", decoder.Listing().Report.c_str()) < 0;
  decoder.Finish();
  out.Grid = BuildFatGrid(table);
  logFailed |= std::fputs(FatFileLogLines(table).c_str(), log.get()) < 0;
  out.Listing = decoder.Listing();
  out.BrokenNumbering = decoder.BrokenNumbering();
  out.Capped = decoder.Capped();
  if (ui.ShowResult) ui.ShowResult(out);
  for (const FatAdvice& a : FatAdvices(table, out.BrokenNumbering)) ui.Message(a.Text, a.Title, Icon::Error);
  logFailed |= std::fclose(log.release()) != 0;
  if (logFailed)
    ui.Message(toolkit::FormatText(" не записался лог-file  < %s > !", options.LogFileName.c_str()), "Error",
               Icon::Error);
  return out;
}

}  // namespace recorder
