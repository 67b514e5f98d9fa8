#pragma once
// FileCoder: the base of the export writers. It keeps what every output format needs (station,
// position, output directory, length of one output file); the format classes buffer the samples and
// write the files.
#include <cstdint>
#include <string>

namespace toolkit {

class FileCoder {
 public:
  FileCoder() = default;
  virtual ~FileCoder() = default;
  FileCoder(const FileCoder&) = delete;
  FileCoder& operator=(const FileCoder&) = delete;

  void SetStation(const std::string& station) { station_ = station; }
  const std::string& GetStation() const { return station_; }
  // Position in radians; kept for formats that store it.
  void SetPosition(float latitude, float longitude) {
    latitude_ = latitude;
    longitude_ = longitude;
  }
  float GetLatitude() const { return latitude_; }
  float GetLongitude() const { return longitude_; }
  // Stores the directory and creates it (one level). A directory that cannot be made is reported by
  // the first Open that cannot create its file there; a link, a plain file or another user's folder at
  // its name is refused by Open, which names it.
  void SetOutputDir(const std::string& dir);
  const std::string& GetOutputDir() const { return outputDir_; }
  // Length of one output file in seconds (at least 1).
  void SetPeriod(int32_t seconds) { period_ = seconds < 1 ? 1 : seconds; }
  int32_t GetPeriod() const { return period_; }

  // The format's operations. Each returns false once the writer has failed; Error() then tells why.
  virtual bool SetChannelCount(int n) = 0;
  virtual void SetSampleRate(uint32_t rate) = 0;
  virtual bool AddSample(const int32_t* values) = 0;
  // The running clock: whole seconds since 1970-01-01 00:00:00 UTC and the sample index within that
  // second. `markTicks`, when not negative, is the exact instant of the marked sample in 1/256 us after
  // the whole second (from the sample's grid time up to one period later): every output start time is
  // then shifted by that distance from the grid.
  virtual void SetTimeMark(int64_t seconds, uint32_t index, int64_t markTicks = -1) = 0;
  virtual bool Open() = 0;
  virtual bool Close() = 0;

  // The first failure, empty while none happened.
  const std::string& Error() const { return error_; }

 protected:
  // Keeps the first failure only.
  void Fail(const std::string& what) {
    if (error_.empty()) error_ = what;
  }

  std::string station_;
  float latitude_ = 0;
  float longitude_ = 0;
  std::string outputDir_;
  std::string outputDirRefusal_;  // why the output directory is not written into; empty when it may be
  int32_t period_ = 300;
  std::string error_;
};

}  // namespace toolkit
