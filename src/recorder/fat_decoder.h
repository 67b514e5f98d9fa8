#pragma once
// Decoding of the recorder's FAT pages into the file rows and synchronisation points of a FatTable,
// with the texts of the reading: the lines of the main window's list box and the report for the work log.
// The decoder knows nothing of the link; the reading over the link feeds it page by page.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "recorder/fat_record.h"
#include "recorder/fat_table.h"
#include "recorder/status_block.h"

namespace recorder {

// What a FAT reading takes from the status, the main window and its two switches.
struct FatReadParams {
  uint16_t FCmax = 0;  // card size in half-megabytes
  uint8_t FT_PG = 0;   // first FAT page / 256
  uint8_t ST_PG = 0;   // first data page / 256
  uint16_t TikInSek = 0;
  uint16_t BatteryScale = 0;     // microvolts per count (status offset 168)
  uint16_t AccuScale = 0;        // microvolts per count (status offset 170)
  uint32_t SampleClock = 0;      // the recorder's base sample clock, Hz
  uint32_t Last_pg = 0;          // the last card page written (status), the end of a file still open
  bool Detailed = false;         // "FAT подробно"
  bool WithCorrections = false;  // "с поправками": coordinates and time corrections
};

// The parameters from a status block; the sample clock and the two switches come from the main window.
FatReadParams FatParamsFromStatus(const StatusBlock& status, uint32_t sampleClock, bool detailed,
                                  bool withCorrections);

// The texts of a reading.
struct FatListing {
  std::vector<std::string> Lines;  // the list box, one entry a line
  std::string Report;              // goes to the work log at the end, one line a "\n"
  bool ShowList = false;           // something the user must see was listed

  void List(const std::string& line) { Lines.push_back(line); }
  void Both(const std::string& line) {
    Lines.push_back(line);
    ToReport(line);
  }
  void ToReport(const std::string& line) {
    Report += line;
    Report += '\n';
  }
};

class FatDecoder {
 public:
  // Asked when a record fails its check: true to go on reading, false to end the FAT there.
  using AskContinue = std::function<bool(const std::string& text, const std::string& title)>;

  FatDecoder(FatTable& table, const FatReadParams& params);

  // Clears the table and every counter and starts the listing.
  void Begin();

  // The FAT area: FT_PG x 256 up to ST_PG x 256 - 1; no pages when ST_PG <= FT_PG.
  uint32_t FirstPage() const;
  uint32_t PageCount() const;

  // The page test: byte 0 is 0x63 and the first record's check holds. A page that fails it ends the FAT;
  // the reason goes to the list.
  bool AcceptPage(uint32_t cardPage, std::span<const uint8_t> page);

  // Checks and decodes the 32 records of an accepted page. False when the user chose to end the FAT at a
  // record that failed its check.
  bool DecodePage(uint32_t cardPage, std::span<const uint8_t> page, const AskContinue& ask);

  // Closes the reading: the file count, and the last file, when still open, ends at the last page seen,
  // or at the status's last written page when the last page seen lies before the file's begin.
  void Finish();

  FatListing& Listing() { return listing_; }
  const FatListing& Listing() const { return listing_; }
  // A file start's number was not the previous number + 1.
  bool BrokenNumbering() const { return broken_; }
  // More file starts than rows: the rest was not listed.
  bool Capped() const { return capped_; }

 private:
  static constexpr int kNone = -1;

  void DecodeRecord(uint32_t cardPage, const FatRecord& r);
  void PagePointer(uint32_t cardPage, const FatPointerRecord& p);
  void PowerOrButton(bool powerOn, const FatPointerRecord& p);
  void FileStart(const FatRecord& raw, const FatFileRecord& s);
  void FileEnd(const FatFileRecord& e);
  void Sync(const FatSyncRecord& s);
  void Drift(const FatDriftRecord& d);
  void Position(const FatPositionRecord& p);
  void Supply(const FatSupplyRecord& s);
  void CloseRow(FileEntry& row) const;
  uint32_t Rate(uint8_t decimation) const;
  uint32_t NotClosedPage() const { return uint32_t{params_.FCmax} * 4000u + 1u; }

  FatTable& table_;
  FatReadParams params_;
  FatListing listing_;

  unsigned files_ = 0;                                  // f: rows used
  unsigned starts_ = 0;                                 // file starts seen, also beyond the rows
  unsigned current_ = 0;                                // c: the row an end record closes
  int open_ = kNone;                                    // o: number of the open file
  uint32_t lastPage_ = 0;                               // page of the last 0x63, 3 or 7 record
  double latitude_ = 0, longitude_ = 0, altitude_ = 0;  // of the last position record, degrees
  uint32_t driftTime_ = 0;
  std::vector<unsigned> awaiting_;                           // rows that take the next synchronisation
  std::optional<float> printedLongitude_, printedLatitude_;  // radians, of the last listed position
  bool broken_ = false;
  bool capped_ = false;
};

}  // namespace recorder
