#include "emulator/card_image.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "emulator/device_layout.h"

namespace emulator {

namespace {

constexpr uint8_t kSeed = 0x9D;
constexpr uint8_t kLastRecordSeed = 0x9A;
constexpr size_t kRecordsPerPage = 32;

// Sets byte `fix` of [at, at + n) so that seed + the sum of the n bytes is 0 modulo 256.
void FixSum(uint8_t* at, size_t n, size_t fix, uint8_t seed) {
  at[fix] = 0;
  unsigned sum = seed;
  for (size_t i = 0; i < n; ++i) sum += at[i];
  at[fix] = static_cast<uint8_t>(0u - sum);
}

}  // namespace

CardImageBuilder::CardImageBuilder(uint16_t fcMax, uint8_t ftPg, uint8_t stPg, uint32_t sampleClock)
    : fcMax_(fcMax), ftPg_(ftPg), stPg_(stPg), sampleClock_(sampleClock), nextPage_(uint32_t{stPg} * 256u) {
  if (stPg <= ftPg || uint64_t{stPg} * 256u >= uint64_t{fcMax} * 4000u)
    throw std::invalid_argument("card layout: the FAT must lie before the data area, inside the card");
}

void CardImageBuilder::Add(const Record& r) {
  records_.push_back({r, static_cast<uint8_t>(files_.size()), LastPage(), lastTime_});
}

CardImageBuilder& CardImageBuilder::PowerOn(uint32_t time) {
  lastTime_ = time;
  Record r{};
  r[0] = 7;
  r[1] = static_cast<uint8_t>(files_.size());
  Put32(&r[2], nextPage_);
  Put16(&r[6], static_cast<uint16_t>(uint32_t{ftPg_} * 256u + records_.size() / (kRecordsPerPage - 1)));
  Put32(&r[11], time);
  Add(r);
  return *this;
}

CardImageBuilder& CardImageBuilder::Button(uint32_t time) {
  PowerOn(time);
  records_.back().bytes[0] = 3;
  return *this;
}

CardImageBuilder& CardImageBuilder::Recording(const CardRecording& plan) {
  if (plan.Channels < 1 || plan.Channels > 8 || plan.DecimationA > 15 || plan.DecimationB > 15)
    throw std::invalid_argument("recording: 1..8 channels, decimation codes 0..15");
  const uint32_t values = plan.ValuesPerPage ? plan.ValuesPerPage : 150u / plan.Channels * plan.Channels;
  if (values == 0 || values % plan.Channels != 0 || values > 165)
    throw std::invalid_argument("recording: whole frames, at most 165 values a page");
  const uint32_t decimation = (plan.DecimationA + 1u) * (plan.DecimationB + 1u);
  PlannedFile f{plan, {}, serial_};
  CardFile& w = f.where;
  w.Number = static_cast<uint8_t>(files_.size() + 1);
  w.SetupPage = nextPage_ + plan.GapBefore;
  w.FirstDataPage = w.SetupPage + 1;
  w.LastPage = w.SetupPage + plan.DataPages;
  if (uint64_t{w.LastPage} >= uint64_t{fcMax_} * 4000u) throw std::length_error("recording: beyond the card");
  w.FramesPerPage = values / plan.Channels;
  w.OutputRate = std::max<uint32_t>(1, sampleClock_ / decimation);
  const uint64_t frames = uint64_t{plan.DataPages} * w.FramesPerPage;
  w.EndTime =
      plan.StartTime + static_cast<uint32_t>((plan.StartPosition + (frames ? frames - 1 : 0)) / w.OutputRate);
  serial_ = static_cast<uint16_t>(serial_ + plan.DataPages);

  Record start{};
  start[0] = static_cast<uint8_t>(plan.KindBits << 4 | 1);
  start[1] = w.Number;
  Put32(&start[2], w.SetupPage);
  start[6] = static_cast<uint8_t>(plan.Channels - 1);
  start[7] = static_cast<uint8_t>(plan.DecimationA << 4);
  start[8] = static_cast<uint8_t>(plan.DecimationB << 4);
  Put32(&start[9], plan.StartTime);
  lastTime_ = plan.StartTime;
  Add(start);

  files_.push_back(w);
  planned_.push_back(f);
  nextPage_ = w.LastPage + 1;
  if (plan.Closed) {
    Record end = start;
    end[0] = static_cast<uint8_t>(plan.KindBits << 4 | 2);
    Put32(&end[2], w.LastPage);
    Put32(&end[9], w.EndTime);
    lastTime_ = w.EndTime;
    Add(end);
  }
  return *this;
}

CardImageBuilder& CardImageBuilder::Sync(uint32_t ticks, uint32_t unitTime, uint32_t gpsTime) {
  Record r{};
  r[0] = 4;
  Put32(&r[1], ticks);
  Put32(&r[5], unitTime);
  Put32(&r[9], gpsTime);
  lastTime_ = unitTime;
  Add(r);
  return *this;
}

CardImageBuilder& CardImageBuilder::Drift(int32_t difference, uint32_t unitTime, uint32_t referenceTime,
                                          uint16_t count) {
  Record r{};
  r[0] = 5;
  Put32(&r[1], static_cast<uint32_t>(difference));
  Put32(&r[5], unitTime);
  Put32(&r[9], referenceTime);
  Put16(&r[13], count);
  lastTime_ = unitTime;
  Add(r);
  return *this;
}

CardImageBuilder& CardImageBuilder::Position(float altitude, float longitudeRad, float latitudeRad,
                                             uint16_t correction) {
  Record r{};
  r[0] = 6;
  PutFloat(&r[1], altitude);
  PutFloat(&r[5], longitudeRad);
  PutFloat(&r[9], latitudeRad);
  Put16(&r[13], correction);
  Add(r);
  return *this;
}

CardImageBuilder& CardImageBuilder::Supply(uint8_t flags1, uint8_t flags2, uint16_t volts1, uint16_t volts2,
                                           uint32_t time) {
  Record r{};
  r[0] = 8;
  r[1] = flags1;
  r[2] = flags2;
  Put16(&r[3], volts1);
  Put16(&r[5], volts2);
  Put32(&r[7], LastPage());
  Put32(&r[11], time);
  lastTime_ = time;
  Add(r);
  return *this;
}

CardImageBuilder& CardImageBuilder::RawRecord(const std::array<uint8_t, 16>& bytes) {
  Add(bytes);
  return *this;
}

uint32_t CardImageBuilder::LastFatPage() const {
  const size_t pages = (records_.size() + kRecordsPerPage - 2) / (kRecordsPerPage - 1);
  return pages == 0 ? 0 : uint32_t{ftPg_} * 256u + static_cast<uint32_t>(pages) - 1;
}

int32_t CardImageBuilder::Sample(uint8_t number, uint32_t frame, uint8_t channel) {
  return int32_t{channel} * 1'000'000 - 4'000'000 +
         static_cast<int32_t>((uint64_t{number} * 7919u + uint64_t{frame} * 13u) % 100'000u);
}

void CardImageBuilder::WriteFile(std::vector<uint8_t>& card, const PlannedFile& f) const {
  const CardRecording& s = f.plan;
  const CardFile& w = f.where;
  uint8_t* setup = card.data() + size_t{w.SetupPage} * kCardPageBytes;
  if (s.SetupPage)
    std::memcpy(setup, s.SetupPage->data(), kCardPageBytes);
  else
    std::memset(setup, 0, kCardPageBytes);
  setup[0] = 100;  // 'd'
  setup[1] = static_cast<uint8_t>(s.Channels - 1);
  Put16(&setup[12], static_cast<uint16_t>(w.OutputRate));
  FixSum(setup, kCardPageBytes, kCardPageBytes - 1, kSeed);

  const uint32_t values = w.FramesPerPage * s.Channels;
  for (uint32_t k = 0; k < s.DataPages; ++k) {
    uint8_t* p = card.data() + size_t{w.FirstDataPage + k} * kCardPageBytes;
    std::memset(p, 0, kCardPageBytes);
    const uint64_t firstFrame = uint64_t{k} * w.FramesPerPage;
    const uint64_t sample = s.StartPosition + firstFrame;
    p[1] = static_cast<uint8_t>(s.Channels - 1);
    Put16(&p[2], static_cast<uint16_t>(sample % w.OutputRate));
    Put32(&p[4], s.StartTime + static_cast<uint32_t>(sample / w.OutputRate));
    Put16(&p[8], static_cast<uint16_t>(f.firstSerial + k));
    p[10] = w.Number;
    p[11] = static_cast<uint8_t>(values);
    p[12] = static_cast<uint8_t>(s.DecimationA << 4);
    p[13] = static_cast<uint8_t>(s.DecimationB << 4);
    p[14] = s.ChannelMask ? s.ChannelMask : static_cast<uint8_t>((1u << s.Channels) - 1);
    FixSum(p, 16, 15, kSeed);
    for (uint32_t i = 0; i < values; ++i) {
      const uint32_t frame = static_cast<uint32_t>(firstFrame) + i / s.Channels;
      const uint32_t v =
          static_cast<uint32_t>(Sample(w.Number, frame, static_cast<uint8_t>(i % s.Channels))) + 0x800000u;
      uint8_t* at = p + 16 + 3 * i;
      at[0] = static_cast<uint8_t>(v);
      at[1] = static_cast<uint8_t>(v >> 8);
      at[2] = static_cast<uint8_t>(v >> 16);
    }
    // The header sums to 0 already, so the rest of the page must too.
    FixSum(p + 16, kCardPageBytes - 16, kCardPageBytes - 17, 0);
  }
}

std::vector<uint8_t> CardImageBuilder::Build() const { return BuildPages(size_t{fcMax_} * 4000u); }

std::vector<uint8_t> CardImageBuilder::BuildWritten() const { return BuildPages(size_t{LastPage()} + 1); }

std::vector<uint8_t> CardImageBuilder::BuildPages(size_t pages) const {
  std::vector<uint8_t> card(pages * kCardPageBytes, 0xFF);
  const size_t fatPages = (size_t{stPg_} - ftPg_) * 256u;
  const size_t perPage = kRecordsPerPage - 1;
  if (records_.size() > fatPages * perPage)
    throw std::length_error("FAT: more records than the FAT area holds");
  for (size_t first = 0, page = 0; first < records_.size(); first += perPage, ++page) {
    const uint32_t cardPage = uint32_t{ftPg_} * 256u + static_cast<uint32_t>(page);
    uint8_t* p = card.data() + size_t{cardPage} * kCardPageBytes;
    std::memset(p, 0, kCardPageBytes);
    const Entry& lead = records_[first];
    p[0] = 0x63;
    p[1] = lead.files;
    Put32(&p[2], lead.pgEnd);
    Put16(&p[6], static_cast<uint16_t>(cardPage));
    Put32(&p[11], lead.time);
    FixSum(p, 16, 15, kSeed);
    for (size_t i = 0; i < perPage && first + i < records_.size(); ++i) {
      const size_t slot = i + 1;
      uint8_t* r = p + slot * 16;
      std::memcpy(r, records_[first + i].bytes.data(), 16);
      FixSum(r, 16, 15, slot == kRecordsPerPage - 1 ? kLastRecordSeed : kSeed);
    }
  }
  for (const PlannedFile& f : planned_) WriteFile(card, f);
  return card;
}

void CardImageBuilder::ApplyToStatus(std::array<uint8_t, 240>& status) const {
  status[status::kSysRG] |= 0x20;  // card present
  Put16(&status[status::kFCmax], fcMax_);
  status[status::kFatPage] = ftPg_;
  status[status::kDataPage] = stPg_;
  Put32(&status[status::kLastPg], LastPage());
  Put16(&status[status::kLastPgFat], static_cast<uint16_t>(LastFatPage()));
  status[status::kFiles] = static_cast<uint8_t>(files_.size());
}

}  // namespace emulator
