#include "recorder/fat_decoder.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "recorder/card_sum.h"
#include "recorder/recorder_time.h"
#include "toolkit/format_text.h"

namespace recorder {

namespace {

constexpr uint8_t kNoCorrectionKindBit = 0x10;
constexpr int64_t kBigDrift = 0xA0000;
constexpr double kPositionStep = 8e-6;  // radians

double Degrees(float radians) { return static_cast<double>(radians) * 180.0 / std::numbers::pi; }

int64_t Saturate(__int128 v) {
  constexpr __int128 hi = std::numeric_limits<int64_t>::max();
  constexpr __int128 lo = std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v > hi ? hi : (v < lo ? lo : v));
}

}  // namespace

FatReadParams FatParamsFromStatus(const StatusBlock& status, uint32_t sampleClock, bool detailed,
                                  bool withCorrections) {
  FatReadParams p;
  p.FCmax = status.FCmax;
  p.FT_PG = status.FT_PG;
  p.ST_PG = status.ST_PG;
  p.TikInSek = status.TikInSek;
  p.BatteryScale = status.BatteryScale;
  p.AccuScale = status.AccuScale;
  p.SampleClock = sampleClock;
  p.Last_pg = status.Last_pg;
  p.Detailed = detailed;
  p.WithCorrections = withCorrections;
  return p;
}

FatDecoder::FatDecoder(FatTable& table, const FatReadParams& params) : table_(table), params_(params) {}

uint32_t FatDecoder::FirstPage() const { return uint32_t{params_.FT_PG} * 256u; }

uint32_t FatDecoder::PageCount() const {
  return params_.ST_PG > params_.FT_PG ? (uint32_t{params_.ST_PG} - params_.FT_PG) * 256u : 0u;
}

void FatDecoder::Begin() {
  table_.Clear();
  listing_ = FatListing{};
  files_ = 0;
  starts_ = 0;
  current_ = 0;
  open_ = kNone;
  lastPage_ = 0;
  latitude_ = longitude_ = altitude_ = 0;
  driftTime_ = 0;
  awaiting_.clear();
  printedLongitude_.reset();
  printedLatitude_.reset();
  broken_ = false;
  capped_ = false;
  listing_.List("   ");
  if (params_.WithCorrections) listing_.List("         время GPS  минус время UNIT'a !");
}

bool FatDecoder::AcceptPage(uint32_t cardPage, std::span<const uint8_t> page) {
  const auto first = FatRecord::FromPage(page, 0);
  const uint8_t sum = first ? first->Sum(false) : 0xFF;
  const bool mark = first && first->Bytes[0] == kFatPageMark;
  if (first && sum == 0 && mark && page.size() >= kFatRecordsPerPage * kFatRecordSize) return true;
  std::string line;
  if (params_.Detailed) {
    if (sum != 0) line += toolkit::FormatText("ks = 0x%02X !;  ", sum);
    if (!mark) line += "s[0] != 0x63!;  ";
  }
  line += toolkit::FormatText("Конец fat'a на стр. %u", cardPage);
  listing_.List(line);
  return false;
}

bool FatDecoder::DecodePage(uint32_t cardPage, std::span<const uint8_t> page, const AskContinue& ask) {
  if (params_.Detailed) {
    listing_.List("");
    listing_.List(toolkit::FormatText("      стр: %u", cardPage));
  }
  for (size_t r = 0; r < kFatRecordsPerPage; ++r) {
    const auto rec = FatRecord::FromPage(page, r);
    if (!rec) break;
    if (!rec->Present()) continue;
    const uint8_t sum = rec->Sum(r == kFatRecordsPerPage - 1);
    if (sum != 0 &&
        !ask(toolkit::FormatText("error ks: стр. %u / запись %zu;", cardPage, r), "продолжать чтение fat'a?"))
      return false;
    const uint8_t kind = rec->Bytes[0];
    if (params_.Detailed && kind != 0 && kind != 5 && kind != 6) {
      std::string hex = HexBytes(rec->Bytes);
      if (sum != 0) hex += toolkit::FormatText("  ks=%02X", sum);
      listing_.ToReport(hex);
    }
    DecodeRecord(cardPage, *rec);
  }
  return true;
}

void FatDecoder::DecodeRecord(uint32_t cardPage, const FatRecord& r) {
  switch (r.Kind()) {
    case FatKind::PagePointer:
      return PagePointer(cardPage, r.As<FatPointerRecord>());
    case FatKind::PowerOn:
      return PowerOrButton(true, r.As<FatPointerRecord>());
    case FatKind::ButtonStart:
      return PowerOrButton(false, r.As<FatPointerRecord>());
    case FatKind::FileStart:
      return FileStart(r, r.As<FatFileRecord>());
    case FatKind::FileEnd:
      return FileEnd(r.As<FatFileRecord>());
    case FatKind::Sync:
      return Sync(r.As<FatSyncRecord>());
    case FatKind::Drift:
      return Drift(r.As<FatDriftRecord>());
    case FatKind::Position:
      return Position(r.As<FatPositionRecord>());
    case FatKind::Supply:
      return Supply(r.As<FatSupplyRecord>());
    case FatKind::Unknown:
      return;
  }
}

void FatDecoder::PagePointer(uint32_t cardPage, const FatPointerRecord& p) {
  lastPage_ = p.Page;
  if (!params_.Detailed) return;
  listing_.Both(toolkit::FormatText("pg_%u: Fl_N%03u; Pg_end %08u; Fat_pg 0x%04x;  %02x  %s", cardPage,
                                    p.Number, p.Page, p.FatPage, p.Flags, UnitTimeText(p.Time).c_str()));
}

void FatDecoder::PowerOrButton(bool powerOn, const FatPointerRecord& p) {
  lastPage_ = p.Page;
  if (powerOn) {
    latitude_ = longitude_ = altitude_ = 0;
    driftTime_ = 0;
    awaiting_.clear();
    listing_.Report += "\n            *  *  *      в к л ю ч и л и    п и т а н и е :\n";
  }
  listing_.Both(toolkit::FormatText("      %s в %s: файлов %02u; стр %08u; Fat 0x%04x/%02x",
                                    powerOn ? "Вкл. питание  " : "Пуск от кнопки",
                                    UnitTimeText(p.Time).c_str(), p.Number, p.Page, p.FatPage, p.Flags));
}

uint32_t FatDecoder::Rate(uint8_t decimation) const { return params_.SampleClock / decimation; }

void FatDecoder::CloseRow(FileEntry& row) const {
  row.Latitude = latitude_;
  row.Longitude = longitude_;
  row.Altitude = altitude_;
  row.DriftTime = driftTime_;
}

void FatDecoder::FileStart(const FatRecord& raw, const FatFileRecord& s) {
  if (s.FileNumber != static_cast<uint8_t>(starts_ + 1)) broken_ = true;
  ++starts_;
  const uint8_t decimation = FatDecimation(s);
  const uint8_t channels = static_cast<uint8_t>(s.ChannelsMinus1 + 1);
  if (open_ != kNone && current_ < kFatFileRows) {
    FileEntry& prev = table_.FatFiles[current_];
    prev.EndPage = s.Page - 1;
    prev.ClosedByProgram = 1;
    CloseRow(prev);
    listing_.ShowList = true;
    listing_.Both(toolkit::FormatText(" файл %u не закрыт. Закроем.", current_));
  }
  if (files_ >= kFatFileRows) {
    // The rows are full: the file is not listed, and an end record that follows has no row to close.
    if (!capped_) {
      capped_ = true;
      listing_.ShowList = true;
      listing_.Both(toolkit::FormatText(" файлов больше %u: файл %u и следующие не показаны!", kFatFileRows,
                                        s.FileNumber));
    }
    open_ = kNone;
    current_ = kFatFileRows;
    return;
  }
  FileEntry& row = table_.FatFiles[files_];
  row = FileEntry{};
  row.BeginPage = s.Page;
  row.EndPage = NotClosedPage();
  row.StartTime = s.Time;
  row.Decimation = decimation;
  row.Channels = channels;
  row.KindBits = static_cast<uint8_t>(raw.Bytes[0] >> 4);
  listing_.Both(toolkit::FormatText("%02u        Файл_%02u: начало в %s; %uk; %uГц; стр %06u; ", files_,
                                    s.FileNumber, UnitTimeText(s.Time).c_str(), unsigned{channels},
                                    Rate(decimation), s.Page));
  open_ = s.FileNumber;
  current_ = files_;
  if ((raw.Bytes[0] & kNoCorrectionKindBit) == 0) awaiting_.push_back(files_);
  ++files_;
}

void FatDecoder::FileEnd(const FatFileRecord& e) {
  if (current_ >= kFatFileRows) return;  // the end of a file beyond the rows
  FileEntry& row = table_.FatFiles[current_];
  const uint8_t decimation = FatDecimation(e);
  const uint8_t channels = static_cast<uint8_t>(e.ChannelsMinus1 + 1);
  row.EndPage = e.Page;
  row.EndTime = e.Time;
  CloseRow(row);
  std::string remarks;
  if (open_ == kNone)
    remarks += toolkit::FormatText(" файл %u не открыт", files_);
  else if (open_ != e.FileNumber)
    remarks += toolkit::FormatText(" файл %d не закрыт, а %u открыт", open_, e.FileNumber);
  if (decimation != row.Decimation) remarks += ";  сменилась децимация!";
  if (channels != row.Channels) remarks += " сменились каналы!";
  listing_.Both(toolkit::FormatText("%02u        Файл_%02u: конец в %s; %uk; %uГц; стр %06u;", current_,
                                    e.FileNumber, UnitTimeText(e.Time).c_str(), unsigned{channels},
                                    Rate(decimation), e.Page) +
                remarks);
  current_ = files_;
  open_ = kNone;
}

void FatDecoder::Sync(const FatSyncRecord& s) {
  const long double ticksPerSecond = (static_cast<long double>(params_.TikInSek) + 1.0L) * 65536.0L;
  const long double value = static_cast<long double>(int64_t{s.GpsTime} - int64_t{s.UnitTime}) -
                            static_cast<long double>(s.Ticks) / ticksPerSecond;
  listing_.Both(toolkit::FormatText("_синхр: Tgps(%s) - Tunit(%s) = %.6f", UnitTimeText(s.GpsTime).c_str(),
                                    UnitTimeText(s.UnitTime).c_str(), static_cast<double>(value)));
  table_.AddSyncPoint(s.GpsTime, static_cast<double>(value), kSyncKindSync);
  for (unsigned row : awaiting_) {
    table_.FatFiles[row].Correction = value;
    listing_.Both(toolkit::FormatText("коррекция для учета синхр. в файле %u:  %.6f сек;", row,
                                      static_cast<double>(value)));
  }
}

void FatDecoder::Drift(const FatDriftRecord& r) {
  const uint32_t scale = table_.DriftScale == 0 ? 1 : table_.DriftScale;
  const __int128 whole = static_cast<__int128>(int64_t{r.UnitTime} - int64_t{r.ReferenceTime});
  const int64_t d = Saturate(whole * 65536 * scale + r.Difference);
  driftTime_ = r.UnitTime;
  const double micro = static_cast<double>(d) * 1e6 / scale / 65536.0;
  table_.AddSyncPoint(r.ReferenceTime, micro, kSyncKindDrift);
  if (!params_.WithCorrections) return;
  std::string line = params_.Detailed
                         ? toolkit::FormatText("%02u .. %s:  %+06lld / %s / %u;", current_,
                                               UnitTimeText(r.UnitTime).c_str(), static_cast<long long>(d),
                                               UnitTimeText(r.ReferenceTime).c_str(), unsigned{r.Count})
                         : toolkit::FormatText("..%s:  %+06lldмк / %s / %u", UnitTimeText(r.UnitTime).c_str(),
                                               static_cast<long long>(micro),
                                               UnitTimeText(r.ReferenceTime).c_str(), unsigned{r.Count});
  const bool big = d > kBigDrift || d < -kBigDrift;
  if (big) line += "   большой уход!";
  const bool listed = params_.Detailed || static_cast<long long>(micro) != 0;
  if (listed) listing_.List(line);
  if (listed || big) listing_.ToReport(line);
}

void FatDecoder::Position(const FatPositionRecord& p) {
  longitude_ = Degrees(p.Longitude);
  latitude_ = Degrees(p.Latitude);
  altitude_ = p.Altitude;
  if (!params_.WithCorrections) return;
  std::string line =
      toolkit::FormatText("%02u:  %10.5f / %10.5f / %10.5f;", current_, longitude_, latitude_, altitude_);
  if (params_.Detailed) line += toolkit::FormatText("   корр. ген. %u;", unsigned{p.OscillatorCorrection});
  const float lon = p.Longitude, lat = p.Latitude;  // copies: the record's fields are unaligned
  const bool moved = !printedLongitude_ ||
                     std::fabs(double{lon} - double{*printedLongitude_}) > kPositionStep ||
                     std::fabs(double{lat} - double{*printedLatitude_}) > kPositionStep;
  if (!params_.Detailed && !moved) return;
  printedLongitude_ = lon;
  printedLatitude_ = lat;
  listing_.Both(line);
}

void FatDecoder::Supply(const FatSupplyRecord& s) {
  const std::string line =
      toolkit::FormatText("%s:  %02x/%02x; V %.3f/%.2f  CTP: %08u", UnitTimeText(s.Time).c_str(), s.Flags1,
                          s.Flags2, static_cast<double>(s.Voltage1) * params_.BatteryScale * 1e-6,
                          static_cast<double>(s.Voltage2) * params_.AccuScale * 1e-6, s.Page);
  if (params_.Detailed)
    listing_.Both(line);
  else
    listing_.List(line);
}

void FatDecoder::Finish() {
  table_.FatCount = static_cast<uint16_t>(files_);
  if (files_ == 0) return;
  FileEntry& last = table_.FatFiles[files_ - 1];
  if (last.EndPage == NotClosedPage()) {
    // The file was still being written: it ends at the last page the FAT names, unless that lies before
    // its begin (a power-on record before its start, a damaged page after it); then at the last page
    // the recorder wrote. It stays in the list either way, marked as closed by the program.
    uint32_t end = lastPage_;
    if (end < last.BeginPage) end = params_.Last_pg;
    if (end < last.BeginPage) end = last.BeginPage;
    last.EndPage = end;
    last.ClosedByProgram = 1;
  }
}

}  // namespace recorder
