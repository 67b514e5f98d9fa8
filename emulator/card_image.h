#pragma once
// A recorder's flash card, built from recordings a test describes: the FAT area (pages of 32 records,
// each page led by a page pointer), on each file's first page a setup copy ('d'), then its data pages
// with consistent headers and 24-bit offset-binary samples whose values Sample() predicts, and erased
// (0xFF) pages everywhere else. The device side writes these bytes itself, from the card's layout, so
// that it shares nothing with the program's readers.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace emulator {

inline constexpr size_t kCardPageBytes = 512;

struct CardRecording {
  uint8_t Channels = 3;     // 1..8
  uint8_t ChannelMask = 0;  // header byte 14: recorded channels; 0: the lowest Channels channels
  uint8_t DecimationA = 0;  // decimation codes 0..15: decimation (A + 1) x (B + 1)
  uint8_t DecimationB = 0;
  uint32_t StartTime = 0;      // GPS second of the first sample
  uint16_t StartPosition = 0;  // output samples into that second
  uint32_t DataPages = 8;      // data pages after the setup copy
  uint8_t ValuesPerPage = 0;   // 3-byte values a page; 0: the most whole frames up to 150
  uint8_t KindBits = 0;        // high nibble of the start record's kind (0x1: no sync correction)
  bool Closed = true;          // false: no end record (the recorder stopped without closing)
  uint32_t GapBefore = 0;      // erased pages left before the file
  // The parameter page the setup copy carries; bytes 0, 1, 12..13 and the check are set by the builder.
  std::optional<std::array<uint8_t, kCardPageBytes>> SetupPage;
};

// Where a recording landed on the card.
struct CardFile {
  uint8_t Number = 0;
  uint32_t SetupPage = 0;  // the file's first page (its BeginPage in the FAT)
  uint32_t FirstDataPage = 0;
  uint32_t LastPage = 0;  // its EndPage in the FAT
  uint32_t EndTime = 0;   // GPS second of the last frame
  uint32_t FramesPerPage = 0;
  uint32_t OutputRate = 0;
};

class CardImageBuilder {
 public:
  // FCmax half-megabytes (FCmax x 4000 pages); FAT pages FT_PG x 256 .. ST_PG x 256 - 1.
  CardImageBuilder(uint16_t fcMax = 1, uint8_t ftPg = 1, uint8_t stPg = 2, uint32_t sampleClock = 1000);

  // FAT events in the order they are logged.
  CardImageBuilder& PowerOn(uint32_t time);
  CardImageBuilder& Button(uint32_t time);
  CardImageBuilder& Recording(const CardRecording& r);  // start record, pages, end record
  CardImageBuilder& Sync(uint32_t ticks, uint32_t unitTime, uint32_t gpsTime);
  CardImageBuilder& Drift(int32_t difference, uint32_t unitTime, uint32_t referenceTime, uint16_t count);
  CardImageBuilder& Position(float altitude, float longitudeRad, float latitudeRad, uint16_t correction);
  CardImageBuilder& Supply(uint8_t flags1, uint8_t flags2, uint16_t volts1, uint16_t volts2, uint32_t time);
  // Any 16 bytes as a record (its check is set); for records of unknown kinds.
  CardImageBuilder& RawRecord(const std::array<uint8_t, 16>& bytes);

  // The whole card, FCmax x 4000 pages.
  std::vector<uint8_t> Build() const;
  // The card up to its last written page; the emulated recorder reads the pages beyond as erased, so a
  // card of gigabytes needs no more memory than what was recorded on it.
  std::vector<uint8_t> BuildWritten() const;

  const std::vector<CardFile>& Files() const { return files_; }
  // The last page written (the status block's Last_pg) and the last FAT page written (LastPgFat).
  uint32_t LastPage() const { return nextPage_ == 0 ? 0 : nextPage_ - 1; }
  uint32_t LastFatPage() const;
  uint16_t FCmax() const { return fcMax_; }
  uint8_t FT_PG() const { return ftPg_; }
  uint8_t ST_PG() const { return stPg_; }
  uint32_t SampleClock() const { return sampleClock_; }

  // Writes FCmax, FT_PG, ST_PG, Last_pg, LastPgFat, the file count and the card-present flag into a
  // 240-byte status block.
  void ApplyToStatus(std::array<uint8_t, 240>& status) const;

  // The value the recorder stored for channel `channel` of frame `frame` (from 0 at the file's first
  // data page) of file `number`: within the 24-bit range.
  static int32_t Sample(uint8_t number, uint32_t frame, uint8_t channel);

 private:
  using Record = std::array<uint8_t, 16>;
  // A record with what the page pointer of its page says when the record opens the page.
  struct Entry {
    Record bytes;
    uint8_t files;
    uint32_t pgEnd;
    uint32_t time;
  };
  struct PlannedFile {
    CardRecording plan;
    CardFile where;
    uint16_t firstSerial;
  };

  void Add(const Record& r);
  std::vector<uint8_t> BuildPages(size_t pages) const;
  void WriteFile(std::vector<uint8_t>& card, const PlannedFile& f) const;

  uint16_t fcMax_;
  uint8_t ftPg_, stPg_;
  uint32_t sampleClock_;
  std::vector<Entry> records_;
  std::vector<PlannedFile> planned_;
  std::vector<CardFile> files_;
  uint32_t nextPage_;
  uint16_t serial_ = 0;
  uint32_t lastTime_ = 0;
};

}  // namespace emulator
