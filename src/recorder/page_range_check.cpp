#include "recorder/page_range_check.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "recorder/recorder_time.h"
#include "toolkit/format_text.h"

namespace recorder {

namespace {

constexpr std::string_view kError = "Error";

std::string HeaderDump(const uint8_t* bytes) {
  std::string out;
  for (size_t i = 0; i < kCardPageHeaderSize; ++i) out += toolkit::FormatText("  %02X", bytes[i]);
  return out;
}

std::string SetupText(uint32_t page, std::span<const uint8_t> bytes) {
  const auto info = ReadSetupCopy(bytes);
  return toolkit::FormatText("Setup на стр. %u:  %u Гц; к %u; ", page, info ? info->Rate : 0u,
                             info ? info->Channels : 0u);
}

std::string FileText(const DataPageHeader& h) {
  return toolkit::FormatText("ф %u: %uГц; к %u; %s", unsigned{h.Raw.FileNumber}, h.OutputRate, h.Channels,
                             h.TimeText().c_str());
}

// A typed page number: nothing for a negative (or unreadable) number.
std::optional<uint64_t> Typed(double value) {
  if (!(value >= 0)) return std::nullopt;
  return value >= 1e15 ? uint64_t{1'000'000'000'000'000} : static_cast<uint64_t>(value);
}

}  // namespace

PageRangeResult CheckPageRange(const PageRangeInput& in, CardPageSource& source) {
  PageRangeResult out;
  const uint64_t cardPages = uint64_t{in.FCmax} * 4000u;
  auto refuse = [&out](std::string text) {
    out.Messages.push_back({std::move(text), std::string(kError)});
    out.Refused = true;
    return out;
  };

  // The begin page.
  source.Drain();
  const auto typedBegin = Typed(in.TypedBegin);
  if (!typedBegin) return refuse("Номер страницы меньше 0!");
  // Only a begin above FCmax x 4000 is refused (an empty card has no page to begin at).
  if (cardPages == 0 || *typedBegin > cardPages)
    return refuse(toolkit::FormatText("Max сектор карты %llu ", static_cast<unsigned long long>(cardPages)));
  const uint32_t beg = static_cast<uint32_t>(*typedBegin);
  out.BegPage = beg;

  std::string log;
  const auto first = source.ReadPage(beg, log);
  if (!first) {
    out.StatusText = toolkit::FormatText("стр. %u: нет ответа; ", beg) + log;
    return out;
  }
  if (!CardPageSumGood(*first)) out.Messages.push_back({"ks!", ""});

  std::array<uint8_t, kCardPageHeaderSize> kept;
  std::optional<DataPageHeader> begin;
  if (KindOfCardPage(*first) == CardPageKind::SetupCopy) {
    out.StatusText = SetupText(beg, *first);
    kept.fill(0xFF);
  } else {
    std::memcpy(kept.data(), first->data(), kept.size());
    begin = DecodeDataPageHeader(*first, in.StatusChannels, in.SampleClock);
    if (!begin) {
      out.StatusText = toolkit::FormatText("стр. %u: ", beg) + HeaderDump(kept.data());
      return out;
    }
    out.StatusText = FileText(*begin) + ";  ";
  }

  // The end page.
  source.Drain();
  const auto typedEnd = Typed(in.TypedEnd);
  if (!typedEnd) return refuse("Номер страницы меньше 0!");
  const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(*typedEnd, cardPages - 1));
  out.EndPage = end;

  log.clear();
  const auto last = source.ReadPage(end, log);
  if (!last) {
    out.StatusText += toolkit::FormatText(";  стр. %u: нет ответа; ", end) + log;
    return out;
  }
  if (KindOfCardPage(*last) == CardPageKind::SetupCopy) {
    out.StatusText += SetupText(end, *last) + toolkit::FormatText(";  %u", end);
    return out;
  }
  const auto h = DecodeDataPageHeader(*last, in.StatusChannels, in.SampleClock);
  if (!h) {
    out.StatusText += toolkit::FormatText(";  Нет заголовка на стр. %u", end);
    return out;
  }
  const bool other =
      (*last)[1] != kept[1] || !std::equal(last->begin() + 10, last->begin() + 14, kept.begin() + 10);
  if (other || !begin) {
    out.StatusText += " // другой! " + FileText(*h);
  } else {
    const int64_t covered =
        static_cast<int64_t>(h->Position + h->Span) - static_cast<int64_t>(begin->Position);
    // A page with fewer values than channels spans no time: no count of pages agrees with it.
    const int64_t byTime = h->Span == 0 ? -1 : covered / static_cast<int64_t>(h->Span);
    const int64_t pages = int64_t{end} - int64_t{beg} + 1;
    if (pages == byTime)
      out.StatusText +=
          toolkit::FormatText(" // %s   %.4fсек на %lldстр.", h->TimeText().c_str(),
                              static_cast<double>(covered) / h->SampleClock, static_cast<long long>(pages));
    else
      out.StatusText += toolkit::FormatText(" // %s; Tбл=%.4f; Не сходится время! ", h->TimeText().c_str(),
                                            static_cast<double>(h->Span) / h->SampleClock);
  }
  out.StatusText += toolkit::FormatText(";  %u", end);
  return out;
}

}  // namespace recorder
